#include "CardWindow.h"

#include <algorithm>
#include <array>
#include <functional>

#include <QApplication>
#include <QFontInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QInputMethod>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>

#include "CardField.h"
#include "Fading.h"
#include "Widgets.h"
#include "base/Contrast.h"
#include "base/QtValues.h"
#include "base/ScreenTexts.h"

namespace vanto::qt::detail {
namespace {

using Model = ui::CardEntryViewModel;
using ui::CardField;

const QSize kWindowSize(420, 680);
// The smallest window: a phone's width, and room for the bar and a field at least.
const QSize kSmallestWindow(320, 420);
// The least sizes of the bar's titles and of the fields' digits, in pixels; a larger application
// font makes them larger.
constexpr int kLeastTitlePixels = 16;
constexpr int kLeastDigitPixels = 18;

// The bar's titles: the library's teal, and a grey while a button cannot be pressed, each made
// darker or lighter where the background asks for it.
const QColor kAccent(0x0f, 0x76, 0x6e);
const QColor kMuted(0x6b, 0x72, 0x80);
// Where a colour has some transparency, it is seen over white.
const QColor kBehindTransparent(Qt::white);

const char* const kFieldStyle =
    "QLineEdit { padding: 8px 10px; border: 1px solid #64748b; border-radius: 8px;"
    " background: #ffffff; selection-background-color: #99f6e4;"
    " selection-color: #111827; }"
    "QLineEdit:focus { border: 2px solid #0f766e; padding: 7px 9px; }"
    "QLineEdit:disabled { background: #f1f5f9; color: #475569; }"
    "QLineEdit[invalid=\"true\"] { border: 2px solid #b91c1c; padding: 7px 9px; }";
// A field's problem: a red that reads on white, darker or lighter where the background asks.
const QColor kProblem(0xb9, 0x1c, 0x1c);

constexpr std::array<CardField, 3> kFields = {CardField::number, CardField::expiry,
                                              CardField::securityCode};

// The application's font, at `least` pixels at least.
QFont readableFont(int least) {
    QFont font = QApplication::font();
    if (QFontInfo(font).pixelSize() < least) {
        font.setPixelSize(least);
    }
    return font;
}

BarButton* barButton(bool prominent) {
    auto* button = new BarButton();
    QFont font = readableFont(kLeastTitlePixels);
    font.setWeight(prominent ? QFont::DemiBold : QFont::Normal);
    button->setFont(font);
    return button;
}

CardLineEdit* cardField(const QString& placeholder) {
    auto* field = new CardLineEdit();
    field->setPlaceholderText(placeholder);
    field->setStyleSheet(QLatin1String(kFieldStyle));
    // The text's colour is the palette's, not the style sheet's: a style sheet's colour makes
    // the placeholder that colour at half strength, 3.4:1 on the field's white; this grey reads
    // at 4.8:1.
    QPalette palette = field->palette();
    palette.setColor(QPalette::Text, QColor(0x11, 0x18, 0x27));
    palette.setColor(QPalette::PlaceholderText, kMuted);
    field->setPalette(palette);
    field->setFont(readableFont(kLeastDigitPixels));
    return field;
}

// Calls `changed` each time the widget it watches lays its children out anew or changes size.
class LayoutWatch final : public QObject {
  public:
    LayoutWatch(QObject* parent, std::function<void()> changed)
        : QObject(parent), changed_(std::move(changed)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Resize) {
            changed_();
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    std::function<void()> changed_;
};

// What the window may take of its screen: what the screen leaves to windows.
QSize roomOnScreen(const QWidget& window) {
    const QScreen* screen = window.screen();
    return screen ? screen->availableGeometry().size() : QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

int across(const QMargins& margins) {
    return margins.left() + margins.right();
}

// The least width of `row` with its items side by side.
int leastSideBySide(QBoxLayout& row) {
    int sum = row.spacing() * std::max(0, row.count() - 1);
    for (int index = 0; index < row.count(); ++index) {
        sum += row.itemAt(index)->minimumSize().width();
    }
    return sum + across(row.contentsMargins());
}

// The least width of `row` with its items one above the other.
int leastStacked(QBoxLayout& row) {
    int widest = 0;
    for (int index = 0; index < row.count(); ++index) {
        widest = std::max(widest, row.itemAt(index)->minimumSize().width());
    }
    return widest + across(row.contentsMargins());
}

// The window is never wider than its screen leaves room for, and within that never narrower
// than its content at its narrowest, with room for the scroll bar beside it: what is too tall
// scrolls, and nothing scrolls across. The bar's buttons, and the expiry and the code, stand
// side by side where the window is wide enough for them, one above the other where it is not;
// the content is at its narrowest with both one above the other, every caption and title wrapped
// down to its longest word.
void fitToContent(QWidget& window, QScrollArea& scroll, QBoxLayout& bar, QBoxLayout& form,
                  QBoxLayout& pair) {
    const int beside = scroll.verticalScrollBar()->sizeHint().width() + 2 * scroll.frameWidth();
    const int formMargins = across(form.contentsMargins());
    // A word wider than a line of the narrowest window is broken, not kept whole past its edge.
    for (auto* label : window.findChildren<WrappedLabel*>()) {
        label->setWidestUnbroken(kSmallestWindow.width() - beside - formMargins);
    }
    for (auto* button : window.findChildren<BarButton*>()) {
        button->setWidestUnbroken(kSmallestWindow.width() - beside - across(bar.contentsMargins()));
    }
    const auto arrange = [&](QBoxLayout& row, int around) {
        const bool sideBySide = leastSideBySide(row) + around + beside <= window.width();
        row.setDirection(sideBySide ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
    };
    arrange(bar, 0);
    arrange(pair, formMargins);
    int narrowest = leastStacked(bar);
    for (int index = 0; index < form.count(); ++index) {
        QLayoutItem* item = form.itemAt(index);
        const int least =
            item->layout() == &pair ? leastStacked(pair) : item->minimumSize().width();
        narrowest = std::max(narrowest, least + formMargins);
    }
    window.setMinimumWidth(std::min(roomOnScreen(window).width(),
                                    std::max(kSmallestWindow.width(), narrowest + beside)));
}

QLabel* caption() {
    return new WrappedLabel();
}

// The caption right above its field: side by side, where one caption wraps onto more lines than
// the other, the fields stay level.
QVBoxLayout* captioned(QLabel* label, QWidget* field) {
    label->setBuddy(field);
    label->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    auto* column = new QVBoxLayout();
    column->setSpacing(6);
    column->addWidget(label);
    column->addWidget(field);
    return column;
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
    focusFirstUseful();
}

// The keyboard starts on the first field to type into, or on continue where a stored card needs
// nothing typed.
void CardWindow::focusFirstUseful() {
    const auto field = std::find_if(fields_.begin(), fields_.end(),
                                    [](const CardLineEdit* edit) { return edit->isEnabled(); });
    if (field != fields_.end()) {
        (*field)->setFocus();
    } else if (proceed_->isEnabled()) {
        proceed_->setFocus();
    }
}

CardWindow::~CardWindow() {
    if (window_) {
        window_->hide();
        window_->deleteLater();
    }
}

// Everything but the background scrolls, should the window be too small for it.
void CardWindow::build() {
    window_ = new ScreenWindow(ownText(OwnText::cardWindowTitle));
    // Never larger than the screen leaves room for, however small the screen.
    const QSize room = roomOnScreen(*window_);
    window_->resize(kWindowSize.boundedTo(room));
    window_->setMinimumSize(kSmallestWindow.boundedTo(room));
    background_ = new ImageBox(ImageBox::Fit::fill);
    window_->setBackground(background_);

    scroll_ = new QScrollArea();
    auto* scroll = scroll_;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Not a stop of the Tab chain: the fields it holds are, and it scrolls to show them.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidgetResizable(true);
    scroll->viewport()->setAutoFillBackground(false);
    content_ = new QWidget();
    auto* column = new QVBoxLayout(content_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    topSpacing_ = new QWidget();
    topSpacing_->setFixedHeight(0);
    column->addWidget(topSpacing_);

    bar_ = new QWidget();
    barRow_ = new QBoxLayout(QBoxLayout::LeftToRight, bar_);
    auto* barRow = barRow_;
    barRow->setContentsMargins(8, 6, 8, 6);
    barRow->setSpacing(8);
    cancel_ = barButton(false);
    proceed_ = barButton(true);
    barRow->addWidget(cancel_, 0, Qt::AlignVCenter);
    barRow->addStretch();
    barRow->addWidget(proceed_, 0, Qt::AlignVCenter);
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
    logo_->setAccessibleName(ownText(OwnText::logo));
    form->addWidget(logo_);
    info_ = caption();
    info_->setAlignment(Qt::AlignCenter);
    form->addWidget(info_);

    fields_ = {cardField(QStringLiteral("0000 0000 0000 0000")),
               cardField(ownText(OwnText::expiryPlaceholder)), cardField(QStringLiteral("123"))};
    captions_ = {caption(), caption(), caption()};
    // The problems go under the fields, the expiry's and the code's under their row, so that a
    // message never moves one field of the row off the other's level.
    problems_ = {caption(), caption(), caption()};
    form->addLayout(captioned(captions_[0], fields_[0]));
    form->addWidget(problems_[0]);
    pair_ = new QBoxLayout(QBoxLayout::LeftToRight);
    pair_->setSpacing(16);
    pair_->addLayout(captioned(captions_[1], fields_[1]), 3);
    pair_->addLayout(captioned(captions_[2], fields_[2]), 2);
    form->addLayout(pair_);
    form->addWidget(problems_[1]);
    form->addWidget(problems_[2]);
    for (QLabel* problem : problems_) {
        problem->hide();
    }

    indicator_ = new BusyIndicator();
    form->addWidget(indicator_, 0, Qt::AlignHCenter);
    // The names an application's own UI tests find them by, the same in both bindings.
    const std::array<QString, 3> names = {QStringLiteral("number"), QStringLiteral("expiry"),
                                          QStringLiteral("securityCode")};
    for (std::size_t index = 0; index < names.size(); ++index) {
        fields_[index]->setObjectName(names[index]);
        captions_[index]->setObjectName(names[index] + QStringLiteral("Caption"));
        problems_[index]->setObjectName(names[index] + QStringLiteral("Problem"));
    }
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    proceed_->setObjectName(QStringLiteral("continueButton"));
    indicator_->setObjectName(QStringLiteral("busyIndicator"));
    logo_->setObjectName(QStringLiteral("logo"));
    info_->setObjectName(QStringLiteral("info"));
    form->addStretch();
    column->addWidget(body, 1);
    scroll->setWidget(content_);
    window_->setElements(scroll);
    form_ = form;
    // A caption, title or font that changes may ask for more width, and a window resized (the
    // content follows its width) for the buttons or the fields side by side or one above the
    // other. The window may outlive this: the watch reaches only what goes with it.
    content_->installEventFilter(new LayoutWatch(
        window_,
        [window = QPointer<QWidget>(window_), scroll = QPointer(scroll), bar = QPointer(barRow_),
         form = QPointer<QBoxLayout>(form), pair = QPointer(pair_)] {
            if (window && scroll && scroll->widget() && bar && form && pair) {
                fitToContent(*window, *scroll, *bar, *form, *pair);
            }
        }));

    QWidget::setTabOrder(fields_[0], fields_[1]);
    QWidget::setTabOrder(fields_[1], fields_[2]);
    QWidget::setTabOrder(fields_[2], proceed_);
    QWidget::setTabOrder(proceed_, cancel_);
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
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window_);
    escape->setContext(Qt::WindowShortcut);
    QObject::connect(escape, &QShortcut::activated, window_, toModel(&Model::pressCancel));
    window_->addTapAction(toModel(&Model::tapOutside));
    window_->setCloseRequestHandler(toModel(&Model::requestClose));
    for (const CardField field : kFields) {
        fields_[static_cast<std::size_t>(field)]->setEditRule(
            [model = model_, field](ui::TextRange range, const QString& replacement) {
                const auto shown = model.lock();
                return shown && shown->editField(field, range, toSecretText(replacement));
            });
    }
    for (const CardField field : kFields) {
        fields_[static_cast<std::size_t>(field)]->setLeaveHandler([model = model_, field] {
            if (const auto shown = model.lock()) {
                shown->leaveField(field);
            }
        });
    }
    QObject::connect(fields_[0], &QLineEdit::returnPressed, fields_[1],
                     [next = fields_[1]] { next->setFocus(Qt::TabFocusReason); });
    QObject::connect(fields_[1], &QLineEdit::returnPressed, fields_[2],
                     [next = fields_[2]] { next->setFocus(Qt::TabFocusReason); });
    QObject::connect(fields_[2], &QLineEdit::returnPressed, window_,
                     toModel(&Model::pressContinue));
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
            drawBusy(*model);
            break;
    }
}

// The colours of the captions and of the bar are measured against what lies behind them: the
// background colour, or the background image's average colour over it.
void CardWindow::drawAppearance(const Model& model) {
    const auto& look = model.appearance();
    const QColor chosen = composedOver(toQColor(look.backgroundColor), kBehindTransparent);
    QPalette palette = window_->palette();
    palette.setColor(QPalette::Window, toQColor(look.backgroundColor));
    window_->setPalette(palette);
    QColor behind = chosen;
    if (look.backgroundImage && background_->setImage(*look.backgroundImage)) {
        behind = composedOver(background_->averageColor().value_or(chosen), chosen);
    }
    behind_ = behind;
    for (QLabel* problem : problems_) {
        QPalette colours = problem->palette();
        colours.setColor(QPalette::WindowText, readableOn(kProblem, behind));
        problem->setPalette(colours);
    }
    logo_->setImage(look.logo);
    drawCaption(*info_, look.infoCaption, behind);
    drawCaption(*captions_[0], look.numberCaption, behind);
    drawCaption(*captions_[1], look.expiryCaption, behind);
    drawCaption(*captions_[2], look.securityCodeCaption, behind);
    const QColor accent = readableOn(kAccent, behind);
    cancel_->setColors(accent, readableOn(kMuted, behind));
    proceed_->setColors(accent, readableOn(kMuted, behind));
    fields_[static_cast<std::size_t>(CardField::securityCode)]->setMasked(look.securityCodeMasked);
    fitWindowToContent();
}

// A caption's text (the library's own in the language chosen), font (absent: the window's) and
// colour (absent: black), made readable on the background.
void CardWindow::drawCaption(QLabel& label, const ui::Caption& caption, const QColor& background) {
    label.setText(screenText(caption.text));
    label.setFont(caption.font ? toQFont(*caption.font) : QFont());
    QPalette palette = label.palette();
    palette.setColor(
        QPalette::WindowText,
        readableOn(caption.color ? toQColor(*caption.color) : QColor(Qt::black), background));
    label.setPalette(palette);
    // A field goes by its caption for assistive technologies.
    if (QWidget* field = label.buddy(); field && !caption.text.empty()) {
        field->setAccessibleName(label.text());
    }
}

void CardWindow::fitWindowToContent() {
    fitToContent(*window_, *scroll_, *barRow_, *form_, *pair_);
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
        // The problem under the field, also its description for assistive technologies.
        const QString problem = screenText(model.fieldProblem(field));
        QLabel& label = *problems_[static_cast<std::size_t>(field)];
        if (label.text() != problem) {
            label.setText(problem);
            label.setVisible(!problem.isEmpty());
            edit.setAccessibleDescription(problem);
            edit.setProperty("invalid", !problem.isEmpty());
            edit.style()->unpolish(&edit);
            edit.style()->polish(&edit);
        }
    }
}

void CardWindow::drawButtons(const Model& model) {
    cancel_->setText(screenText(model.cancelButton().title));
    cancel_->setEnabled(model.cancelButton().enabled);
    proceed_->setText(screenText(model.continueButton().title));
    proceed_->setEnabled(model.continueButton().enabled);
    fitWindowToContent();
}

// The indicator stops with the screen it spins for.
void CardWindow::drawBusy(const Model& model) {
    const bool busy = model.busy() && !model.closed();
    indicator_->setSpinning(busy);
    indicator_->setVisible(busy);
}

void CardWindow::endEditing() {
    if (QWidget* focused = window_->focusWidget()) {
        focused->clearFocus();
    }
    QGuiApplication::inputMethod()->hide();
}

}  // namespace vanto::qt::detail
