#include "CardEntryDrawing.h"

#include <algorithm>
#include <cmath>

#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodQueryEvent>
#include <QKeyEvent>
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
using qt::detail::afterDigits;
using qt::detail::digitsIn;
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
const QColor kProblem(0xb9, 0x1c, 0x1c);
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
        wipeInPlace(input.drawn);
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

void CardEntryDrawing::leave(QQuickItem* input) {
    for (const ui::CardField field :
         {ui::CardField::number, ui::CardField::expiry, ui::CardField::securityCode}) {
        if (input && input == this->input(field)) {
            toModel([field](Model& model) { model.leaveField(field); });
        }
    }
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

QString CardEntryDrawing::fieldProblem(ui::CardField field) const {
    const auto model = model_.lock();
    return model ? screenText(model->fieldProblem(field)) : QString();
}

QColor CardEntryDrawing::problemColor() const {
    return readableOn(kProblem, backgroundColor());
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
        input.item->removeEventFilter(this);
        wipeInPlace(input.held);
        wipeInPlace(input.drawn);
        input.item->setProperty("text", QString());
    }
    input.held = QString();
    input.drawn = QString();
    input.item = item;
    if (item) {
        input.edited = connect(item, SIGNAL(textEdited()), this, kEditedSlots[indexOf(field)]);
        if (!input.edited) {
            qWarning("Vanto: a card field must be a TextInput");
        }
        item->installEventFilter(this);
        showField(field);
    }
}

// The text input would copy what it deletes to the end of the line or whole to the clipboard
// (where it lingers, overwritten once the field is wiped), and hands an input method the text
// around the insertion point: the card data stays here.
bool CardEntryDrawing::eventFilter(QObject* watched, QEvent* event) {
    const auto field = std::find_if(inputs_.begin(), inputs_.end(), [watched](const Input& input) {
        return input.item == watched;
    });
    if (field == inputs_.end()) {
        return ScreenDrawing::eventFilter(watched, event);
    }
    const auto which = kFields[static_cast<std::size_t>(field - inputs_.begin())];
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::DeleteEndOfLine) ||
            key->matches(QKeySequence::DeleteCompleteLine)) {
            deleteLine(which, key->matches(QKeySequence::DeleteCompleteLine));
            event->accept();
            return true;
        }
    } else if (event->type() == QEvent::InputMethodQuery) {
        auto* query = static_cast<QInputMethodQueryEvent*>(event);
        for (unsigned bit = 0; bit < 32; ++bit) {
            const auto asked =
                static_cast<Qt::InputMethodQuery>(query->queries().toInt() & (1u << bit));
            if (asked == Qt::ImSurroundingText || asked == Qt::ImCurrentSelection ||
                asked == Qt::ImTextBeforeCursor || asked == Qt::ImTextAfterCursor) {
                query->setValue(asked, QString());
            } else if (asked != 0) {
                query->setValue(asked, field->item->inputMethodQuery(asked));
            }
        }
        query->accept();
        return true;
    }
    return ScreenDrawing::eventFilter(watched, event);
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
    const Edit change = editBetween(input.held, edited, cursor);
    // The texts before the edit, which the field has let go of: only this holds them now.
    hold(input, true);
    edit(field, change.range,
         deepCopy(edited, static_cast<qsizetype>(change.range.location), change.replacementLength));
}

void CardEntryDrawing::edit(ui::CardField field, ui::TextRange range, QString replacement) {
    bool asProposed = false;
    // Where the insertion point belongs when the screen regroups the text: after as many digits
    // as stood before the edit's end (the field's texts are digits and separators only).
    qsizetype digits = -1;
    if (const auto model = model_.lock()) {
        const std::string_view before = model->field(field).text.view();
        const qsizetype digitsBefore = digitsIn(before);
        digits = digitsIn(before.substr(0, std::min<std::size_t>(range.location, before.size())));
        asProposed = model->editField(field, range, toSecretText(replacement));
        // A refused edit leaves as many digits: the insertion point stays where it was.
        if (digitsIn(model->field(field).text.view()) != digitsBefore) {
            digits += digitsIn(QStringView(replacement));
        }
    }
    showField(field, asProposed ? static_cast<qsizetype>(range.location) + replacement.size() : -1,
              digits);
    wipeInPlace(replacement);
}

void CardEntryDrawing::deleteLine(ui::CardField field, bool whole) {
    const Input& input = inputs_[indexOf(field)];
    if (!input.item || input.item->property("readOnly").toBool()) {
        return;
    }
    const auto size = static_cast<std::size_t>(input.held.size());
    const auto from =
        whole ? 0u : std::min(size, input.item->property("cursorPosition").value<std::size_t>());
    edit(field, {from, size - from}, QString());
}

void CardEntryDrawing::hold(Input& input, bool wipe) {
    if (wipe) {
        wipeInPlace(input.held);
        wipeInPlace(input.drawn);
    }
    input.held = input.item ? input.item->property("text").toString() : QString();
    input.drawn = input.item ? input.item->property("displayText").toString() : QString();
}

void CardEntryDrawing::showField(ui::CardField field, qsizetype cursor, qsizetype afterDigit) {
    Input& input = inputs_[indexOf(field)];
    if (!input.item) {
        return;
    }
    const auto model = model_.lock();
    QString shown = model ? toQString(model->field(field).text.view()) : QString();
    // Setting a text moves the insertion point: it is set only when it differs. The text and its
    // drawn copy the field lets go of are overwritten first.
    const bool differs = input.item->property("text").toString() != shown;
    if (differs) {
        hold(input, true);
        input.item->setProperty("text", shown);
    } else {
        wipeInPlace(shown);
    }
    shown = QString();
    hold(input, false);
    if (cursor < 0 && afterDigit >= 0) {
        cursor = afterDigits(input.held, afterDigit);
    }
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
        hold(input, true);
        if (input.item) {
            input.item->setProperty("text", QString());
        }
        input.held = QString();
        input.drawn = QString();
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
