#include "CardWindow.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QInputMethod>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "CardField.h"
#include "Fading.h"
#include "Widgets.h"
#include "base/QtValues.h"

namespace vanto::qt::detail {
namespace {

using Model = ui::CardEntryViewModel;
using ui::CardField;

const QSize kWindowSize(420, 680);

const char* const kBarButtonStyle =
    "QPushButton { border: none; background: transparent; padding: 8px 14px; color: #0f766e; }"
    "QPushButton:disabled { color: #9ca3af; }";
const char* const kFieldStyle =
    "QLineEdit { padding: 8px 10px; border: 1px solid #cbd5e1; border-radius: 8px;"
    " background: #ffffff; color: #111827; selection-background-color: #99f6e4; }"
    "QLineEdit:focus { border: 2px solid #0f766e; padding: 7px 9px; }"
    "QLineEdit:disabled { background: #f1f5f9; color: #64748b; }";

constexpr std::array<CardField, 3> kFields = {CardField::number, CardField::expiry,
                                              CardField::securityCode};

QPushButton* barButton(bool prominent) {
    auto* button = new QPushButton();
    button->setStyleSheet(QLatin1String(kBarButtonStyle));
    button->setCursor(Qt::PointingHandCursor);
    QFont font = button->font();
    font.setPixelSize(16);
    font.setWeight(prominent ? QFont::DemiBold : QFont::Normal);
    button->setFont(font);
    return button;
}

// Card data only: digits on an on-screen keyboard, nothing remembered by an input method.
CardLineEdit* cardField(const QString& placeholder) {
    auto* field = new CardLineEdit();
    field->setPlaceholderText(placeholder);
    field->setInputMethodHints(Qt::ImhDigitsOnly | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText |
                               Qt::ImhNoAutoUppercase);
    field->setStyleSheet(QLatin1String(kFieldStyle));
    QFont font = field->font();
    font.setPixelSize(18);
    field->setFont(font);
    return field;
}

QVBoxLayout* captioned(QLabel* label, QWidget* field) {
    label->setBuddy(field);
    auto* column = new QVBoxLayout();
    column->setSpacing(6);
    column->addWidget(label);
    column->addWidget(field);
    return column;
}

// A caption's font and colour; absent ones go back to what the window has.
void draw(QLabel& label, const ui::Caption& caption) {
    label.setText(toQString(caption.text));
    label.setFont(caption.font ? toQFont(*caption.font) : QFont());
    QPalette palette;
    if (caption.color) {
        palette = label.palette();
        palette.setColor(QPalette::WindowText, toQColor(*caption.color));
    }
    label.setPalette(palette);
    // A field goes by its caption for assistive technologies.
    if (QWidget* field = label.buddy(); field && !caption.text.empty()) {
        field->setAccessibleName(label.text());
    }
}

}  // namespace

CardWindow& CardWindow::of(const std::shared_ptr<Model>& model) {
    if (auto* drawn = dynamic_cast<CardWindow*>(model->observer().get())) {
        return *drawn;
    }
    auto made = std::shared_ptr<CardWindow>(new CardWindow(model));
    model->setObserver(made);
    return *made;
}

CardWindow::CardWindow(const std::shared_ptr<Model>& model) : model_(model) {
    build();
    connectInputs();
    for (const auto part : {Model::Part::appearance, Model::Part::layout, Model::Part::fade,
                            Model::Part::fields, Model::Part::buttons, Model::Part::busy}) {
        changed(part);
    }
}

CardWindow::~CardWindow() {
    if (window_) {
        window_->hide();
        window_->deleteLater();
    }
}

void CardWindow::build() {
    window_ = new ScreenWindow(QStringLiteral("Pago con tarjeta"));
    window_->resize(kWindowSize);
    window_->setMinimumSize(340, 540);
    background_ = new ImageBox(ImageBox::Fit::fill);
    window_->setBackground(background_);

    auto* elements = new QWidget();
    auto* column = new QVBoxLayout(elements);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    topSpacing_ = new QWidget();
    topSpacing_->setFixedHeight(0);
    column->addWidget(topSpacing_);

    bar_ = new QWidget();
    auto* barRow = new QHBoxLayout(bar_);
    barRow->setContentsMargins(8, 6, 8, 6);
    cancel_ = barButton(false);
    proceed_ = barButton(true);
    barRow->addWidget(cancel_);
    barRow->addStretch();
    barRow->addWidget(proceed_);
    column->addWidget(bar_);
    auto* rule = new QFrame();
    rule->setFrameShape(QFrame::HLine);
    rule->setFixedHeight(1);
    rule->setStyleSheet(QStringLiteral("background: rgba(15, 23, 42, 28); border: none;"));
    column->addWidget(rule);

    auto* body = new QWidget();
    auto* form = new QVBoxLayout(body);
    form->setContentsMargins(28, 16, 28, 24);
    form->setSpacing(14);
    logo_ = new ImageBox(ImageBox::Fit::whole);
    logo_->setFixedHeight(84);
    logo_->setAccessibleName(QStringLiteral("Logotipo"));
    form->addWidget(logo_);
    info_ = new QLabel();
    info_->setWordWrap(true);
    info_->setAlignment(Qt::AlignCenter);
    form->addWidget(info_);

    fields_ = {cardField(QStringLiteral("0000 0000 0000 0000")), cardField(QStringLiteral("MM/AA")),
               cardField(QStringLiteral("123"))};
    captions_ = {new QLabel(), new QLabel(), new QLabel()};
    form->addLayout(captioned(captions_[0], fields_[0]));
    auto* row = new QHBoxLayout();
    row->setSpacing(16);
    row->addLayout(captioned(captions_[1], fields_[1]), 3);
    row->addLayout(captioned(captions_[2], fields_[2]), 2);
    form->addLayout(row);

    indicator_ = new BusyIndicator();
    form->addWidget(indicator_, 0, Qt::AlignHCenter);
    form->addStretch();
    column->addWidget(body, 1);
    window_->setElements(elements);

    QWidget::setTabOrder(fields_[0], fields_[1]);
    QWidget::setTabOrder(fields_[1], fields_[2]);
    QWidget::setTabOrder(fields_[2], proceed_);
    QWidget::setTabOrder(proceed_, cancel_);
    fields_[0]->setFocus();
}

// Each input holds the model for its call only: the screen behind it may go meanwhile.
void CardWindow::connectInputs() {
    const auto toModel = [model = model_](void (Model::*input)()) {
        return [model, input] {
            if (const auto shown = model.lock()) {
                ((*shown).*input)();
            }
        };
    };
    QObject::connect(cancel_, &QPushButton::clicked, window_, toModel(&Model::pressCancel));
    QObject::connect(proceed_, &QPushButton::clicked, window_, toModel(&Model::pressContinue));
    window_->addTapAction(toModel(&Model::tapOutside));
    window_->setCloseRequestHandler(toModel(&Model::requestClose));
    for (const CardField field : kFields) {
        fields_[static_cast<std::size_t>(field)]->setEditRule(
            [model = model_, field](ui::TextRange range, const QString& replacement) {
                const auto shown = model.lock();
                return shown && shown->editField(field, range, toSecretText(replacement));
            });
    }
}

void CardWindow::changed(Model::Part part) {
    const auto model = model_.lock();
    if (!window_ || !model) {
        return;
    }
    switch (part) {
        case Model::Part::appearance:
            drawAppearance(*model);
            break;
        case Model::Part::layout:
            topSpacing_->setFixedHeight(
                toQRect({0, 0, 0, model->navigationTopSpacing().value_or(0)}).height());
            break;
        case Model::Part::fade:
            drawFade(*model);
            break;
        case Model::Part::fields:
            drawFields(*model);
            break;
        case Model::Part::buttons:
            drawButtons(*model);
            break;
        case Model::Part::busy:
            drawBusy(*model);
            break;
        case Model::Part::editingEnded:
            endEditing();
            break;
        case Model::Part::closed:
            window_->setVisible(!model->closed());
            break;
    }
}

void CardWindow::drawAppearance(const Model& model) {
    const auto& look = model.appearance();
    QPalette palette = window_->palette();
    palette.setColor(QPalette::Window, toQColor(look.backgroundColor));
    window_->setPalette(palette);
    if (look.backgroundImage) {
        background_->setImage(*look.backgroundImage);
    }
    logo_->setImage(look.logo);
    draw(*info_, look.infoCaption);
    draw(*captions_[0], look.numberCaption);
    draw(*captions_[1], look.expiryCaption);
    draw(*captions_[2], look.securityCodeCaption);
}

void CardWindow::drawFade(const Model& model) {
    const auto [alpha, seconds] = model.fade();
    for (QWidget* faded : {bar_, static_cast<QWidget*>(logo_), static_cast<QWidget*>(info_)}) {
        fadeTo(*faded, alpha, seconds);
    }
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        fadeTo(*fields_[i], alpha, seconds);
        fadeTo(*captions_[i], alpha, seconds);
    }
}

// A field's text is set only when it differs: setting it moves the insertion point to its end.
void CardWindow::drawFields(const Model& model) {
    for (const CardField field : kFields) {
        const auto& state = model.field(field);
        CardLineEdit& edit = *fields_[static_cast<std::size_t>(field)];
        QString shown = toQString(state.text.view());
        if (edit.text() != shown) {
            edit.showText(shown);
        } else {
            wipeInPlace(shown);
        }
        edit.setEnabled(state.enabled);
    }
}

void CardWindow::drawButtons(const Model& model) {
    cancel_->setText(toQString(model.cancelButton().title));
    cancel_->setEnabled(model.cancelButton().enabled);
    proceed_->setText(toQString(model.continueButton().title));
    proceed_->setEnabled(model.continueButton().enabled);
}

void CardWindow::drawBusy(const Model& model) {
    indicator_->setSpinning(model.busy());
    indicator_->setVisible(model.busy());
}

void CardWindow::endEditing() {
    if (QWidget* focused = window_->focusWidget()) {
        focused->clearFocus();
    }
    QGuiApplication::inputMethod()->hide();
}

}  // namespace vanto::qt::detail
