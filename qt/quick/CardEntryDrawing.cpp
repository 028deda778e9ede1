#include "CardEntryDrawing.h"

#include <cmath>

#include <QGuiApplication>
#include <QInputMethod>
#include <QQuickWindow>

#include "EditedRange.h"
#include "ImageSource.h"
#include "base/Contrast.h"
#include "base/QtValues.h"
#include "base/ScreenTexts.h"
#include "vanto/direct/DirectPaymentViewController.h"

namespace vanto::quick::detail {
namespace {

using Model = ui::CardEntryViewModel;
using qt::detail::screenText;
using qt::detail::toQColor;
using qt::detail::toQFont;
using qt::detail::toQString;
using qt::detail::toSecretText;
using qt::detail::wipeInPlace;

// The binding's own colours: the bar's accent and its disabled titles, before they are made
// readable on the merchant's background.
const QColor kAccent(0x0f, 0x76, 0x6e);
const QColor kDisabled(0x6b, 0x72, 0x80);
const QColor kCaptionDefault(Qt::black);

std::size_t indexOf(ui::CardField field) {
    return static_cast<std::size_t>(field);
}

const std::array<ui::CardField, 3> kFields = {ui::CardField::number, ui::CardField::expiry,
                                              ui::CardField::securityCode};

// The signals the fields are connected by, to the slot of each.
const std::array<const char*, 3> kEditedSlots = {SLOT(numberEdited()), SLOT(expiryEdited()),
                                                 SLOT(securityCodeEdited())};

// `color` as drawn on `background` (its alpha laid over it), made to stand out from it as much as
// text must.
QColor readableOn(const QColor& color, const QColor& background) {
    const QColor ground = qt::detail::composedOver(background, Qt::white);
    return qt::detail::readableOn(qt::detail::composedOver(color, ground), ground);
}

// A copy with storage of its own, which wiping the original leaves intact.
QString deepCopy(const QString& text, qsizetype from, qsizetype length) {
    return QString(text.constData() + from, length);
}

}  // namespace

class CardEntryDrawing::Observer final : public DrawingObserver<CardEntryDrawing, Model> {
  public:
    using DrawingObserver::DrawingObserver;
};

CardEntryDrawing::CardEntryDrawing(QQuickItem* parent) : ScreenDrawing(parent) {}

CardEntryDrawing::~CardEntryDrawing() {
    screenGone();
    for (auto& input : inputs_) {
        wipeInPlace(input.held);
    }
}

bool CardEntryDrawing::attach(const std::shared_ptr<BaseViewController>& screen) {
    const auto card = std::dynamic_pointer_cast<DirectPaymentViewController>(screen);
    if (!card) {
        return false;
    }
    const auto& model = card->viewModel();
    model_ = model;
    const auto observer = std::make_shared<Observer>(this);
    observer_ = observer;
    model->setObserver(observer);
    for (const auto part :
         {Model::Part::appearance, Model::Part::layout, Model::Part::fade, Model::Part::fields,
          Model::Part::buttons, Model::Part::busy, Model::Part::closed}) {
        changed(part);
    }
    return true;
}

void CardEntryDrawing::detach() {
    emptyFields();
    const auto observer = observer_.lock();
    if (observer) {
        observer->forget();
    }
    if (const auto model = model_.lock(); model && observer && model->observer() == observer) {
        model->setObserver(nullptr);
    }
    observer_.reset();
    model_.reset();
    for (auto notify : {&CardEntryDrawing::appearanceChanged, &CardEntryDrawing::layoutChanged,
                        &CardEntryDrawing::fadeDurationChanged, &CardEntryDrawing::fadeChanged,
                        &CardEntryDrawing::fieldsChanged, &CardEntryDrawing::buttonsChanged,
                        &CardEntryDrawing::busyChanged}) {
        emit(this->*notify)();
    }
}

void CardEntryDrawing::tellAppeared() {
    toModel([](Model& model) { model.appeared(); });
}

template <typename Action>
void CardEntryDrawing::toModel(Action action) {
    // Held for the call only: the screen behind it may go meanwhile.
    if (const auto model = model_.lock()) {
        action(*model);
    }
}

void CardEntryDrawing::pressContinue() {
    toModel([](Model& model) { model.pressContinue(); });
}

void CardEntryDrawing::pressCancel() {
    toModel([](Model& model) { model.pressCancel(); });
}

void CardEntryDrawing::tapOutside() {
    toModel([](Model& model) { model.tapOutside(); });
}

void CardEntryDrawing::requestClose() {
    toModel([](Model& model) { model.requestClose(); });
}

void CardEntryDrawing::changed(Model::Part part) {
    switch (part) {
        case Model::Part::appearance:
            emit appearanceChanged();
            break;
        case Model::Part::layout:
            emit layoutChanged();
            break;
        case Model::Part::fade:
            emit fadeDurationChanged();
            emit fadeChanged();
            break;
        case Model::Part::fields:
            showFields();
            emit fieldsChanged();
            break;
        case Model::Part::buttons:
            emit buttonsChanged();
            break;
        case Model::Part::busy:
            emit busyChanged();
            break;
        case Model::Part::editingEnded:
            endEditing();
            break;
        case Model::Part::closed: {
            const auto model = model_.lock();
            setClosed(model && model->closed());
            break;
        }
    }
}

QColor CardEntryDrawing::backgroundColor() const {
    const auto model = model_.lock();
    return toQColor(model ? model->appearance().backgroundColor : ui::Color::white());
}

QUrl CardEntryDrawing::backgroundImage() const {
    const auto model = model_.lock();
    return model && model->appearance().backgroundImage
               ? imageSource(*model->appearance().backgroundImage)
               : QUrl();
}

QUrl CardEntryDrawing::logo() const {
    const auto model = model_.lock();
    return model ? imageSource(model->appearance().logo) : QUrl();
}

QVariantMap CardEntryDrawing::caption(ui::Caption ui::CardEntryAppearance::*which) const {
    const auto model = model_.lock();
    if (!model) {
        return {{QStringLiteral("text"), QString()},
                {QStringLiteral("font"), QGuiApplication::font()},
                {QStringLiteral("color"), kCaptionDefault}};
    }
    const ui::Caption& shown = model->appearance().*which;
    const QColor color = shown.color ? toQColor(*shown.color) : kCaptionDefault;
    return {{QStringLiteral("text"), screenText(shown.text)},
            {QStringLiteral("font"), shown.font ? toQFont(*shown.font) : QGuiApplication::font()},
            {QStringLiteral("color"), readableOn(color, backgroundColor())}};
}

bool CardEntryDrawing::securityCodeMasked() const {
    const auto model = model_.lock();
    return model && model->appearance().securityCodeMasked;
}

QColor CardEntryDrawing::barColor() const {
    return readableOn(kAccent, backgroundColor());
}

QColor CardEntryDrawing::barDisabledColor() const {
    return readableOn(kDisabled, backgroundColor());
}

QColor CardEntryDrawing::focusColor() const {
    return barColor();
}

qreal CardEntryDrawing::topSpacing() const {
    const auto model = model_.lock();
    const double spacing = model ? model->navigationTopSpacing().value_or(0.0) : 0.0;
    return std::isfinite(spacing) && spacing > 0.0 ? std::min(spacing, 1000.0) : 0.0;
}

qreal CardEntryDrawing::fadeOpacity() const {
    const auto model = model_.lock();
    const double alpha = model ? model->fade().alpha : 1.0;
    return std::isfinite(alpha) ? std::clamp(alpha, 0.0, 1.0) : 1.0;
}

int CardEntryDrawing::fadeMilliseconds() const {
    const auto model = model_.lock();
    const double seconds = model ? model->fade().seconds : 0.0;
    return std::isfinite(seconds) && seconds > 0.0
               ? static_cast<int>(std::lround(std::min(seconds, 60.0) * 1000.0))
               : 0;
}

bool CardEntryDrawing::fieldEnabled(ui::CardField field) const {
    const auto model = model_.lock();
    return model && model->field(field).enabled;
}

QString CardEntryDrawing::cancelTitle() const {
    const auto model = model_.lock();
    return model ? screenText(model->cancelButton().title) : QString();
}

bool CardEntryDrawing::cancelEnabled() const {
    const auto model = model_.lock();
    return model && model->cancelButton().enabled;
}

QString CardEntryDrawing::continueTitle() const {
    const auto model = model_.lock();
    return model ? screenText(model->continueButton().title) : QString();
}

bool CardEntryDrawing::continueEnabled() const {
    const auto model = model_.lock();
    return model && model->continueButton().enabled;
}

bool CardEntryDrawing::busy() const {
    const auto model = model_.lock();
    return model && model->busy();
}

QQuickItem* CardEntryDrawing::input(ui::CardField field) const {
    return inputs_[indexOf(field)].item;
}

void CardEntryDrawing::setInput(ui::CardField field, QQuickItem* item) {
    Input& input = inputs_[indexOf(field)];
    if (item == input.item) {
        return;
    }
    QObject::disconnect(input.edited);
    if (input.item) {
        wipeInPlace(input.held);
        input.item->setProperty("text", QString());
    }
    input.held = QString();
    input.item = item;
    if (item) {
        input.edited = connect(item, SIGNAL(textEdited()), this, kEditedSlots[indexOf(field)]);
        if (!input.edited) {
            qWarning("Vanto: a card field must be a TextInput");
        }
        showField(field);
    }
}

// The field has applied the cardholder's edit already: it is read, taken back to what the model
// holds, and put to the screen's rules, which decide what shows.
void CardEntryDrawing::fieldEdited(ui::CardField field) {
    Input& input = inputs_[indexOf(field)];
    if (!input.item) {
        return;
    }
    const QString edited = input.item->property("text").toString();
    const auto cursor = input.item->property("cursorPosition").value<qsizetype>();
    const Edit edit = editBetween(input.held, edited, cursor);
    QString replacement =
        deepCopy(edited, static_cast<qsizetype>(edit.range.location), edit.replacementLength);
    // The text before the edit, which the field has let go of: only this holds it now.
    wipeInPlace(input.held);
    input.held = QString();
    bool asProposed = false;
    if (const auto model = model_.lock()) {
        asProposed = model->editField(field, edit.range, toSecretText(replacement));
    }
    showField(field, asProposed
                         ? static_cast<qsizetype>(edit.range.location) + edit.replacementLength
                         : -1);
    wipeInPlace(replacement);
}

void CardEntryDrawing::showField(ui::CardField field, qsizetype cursor) {
    Input& input = inputs_[indexOf(field)];
    if (!input.item) {
        return;
    }
    const auto model = model_.lock();
    QString shown = model ? toQString(model->field(field).text.view()) : QString();
    QString current = input.item->property("text").toString();
    // Setting a text moves the insertion point: it is set only when it differs.
    if (current != shown) {
        wipeInPlace(current);
        input.item->setProperty("text", shown);
    } else {
        wipeInPlace(shown);
    }
    shown = QString();
    current = QString();
    input.held = input.item->property("text").toString();
    if (cursor >= 0 && cursor <= input.held.size()) {
        input.item->setProperty("cursorPosition", cursor);
    }
}

void CardEntryDrawing::showFields() {
    for (const auto field : kFields) {
        showField(field);
    }
}

void CardEntryDrawing::emptyFields() {
    for (auto& input : inputs_) {
        wipeInPlace(input.held);
        input.held = QString();
        if (input.item) {
            input.item->setProperty("text", QString());
        }
    }
}

// The field with the focus loses it, and an on-screen keyboard closes.
void CardEntryDrawing::endEditing() {
    for (const auto& input : inputs_) {
        if (input.item && input.item->hasActiveFocus()) {
            forceActiveFocus(Qt::OtherFocusReason);
        }
    }
    QGuiApplication::inputMethod()->hide();
}

}  // namespace vanto::quick::detail
