#pragma once

#include <array>
#include <memory>

#include <QColor>
#include <QPointer>

#include "vanto/platform/ui/CardEntryViewModel.h"

class QBoxLayout;
class QLabel;
class QScrollArea;
class QWidget;

namespace vanto::qt::detail {

namespace ui = platform::ui;

class BarButton;
class BusyIndicator;
class CardLineEdit;
class ImageBox;
class ScreenWindow;

/// The card-entry screen on Qt Widgets: a window with a top bar (cancel, continue), the logo, the
/// information text and the three card fields with their captions, drawn from the screen's view
/// model, which it observes and which owns it; the widgets hand what the cardholder does to the
/// model. The window goes when this does.
///
/// Nothing the merchant sets is cut: captions and button titles wrap, the bar's buttons and the
/// expiry and the code go one above the other where the window is too narrow for them, the window
/// is never narrower than the longest words nor wider than its screen leaves room for, and what
/// does not fit its height scrolls. Captions and bar buttons keep 4.5:1 contrast with the
/// background (readableOn). From the keyboard: it starts on the card number (on continue for a
/// stored card), Tab goes through the fields, continue and cancel and nothing else; Return in a
/// field goes to the next one and in the last one pays, as Return on a button presses it; Escape
/// cancels. The library's own texts follow the language the application chose (screenText,
/// ownText).
class CardWindow final : public ui::CardEntryViewModel::Observer {
  public:
    /// The window drawing `model`, made and set as its observer when it has none.
    static CardWindow& of(const std::shared_ptr<ui::CardEntryViewModel>& model);
    ~CardWindow() override;
    CardWindow(const CardWindow&) = delete;
    CardWindow& operator=(const CardWindow&) = delete;

    ScreenWindow* window() const { return window_; }
    void changed(ui::CardEntryViewModel::Part part) override;

  private:
    explicit CardWindow(const std::shared_ptr<ui::CardEntryViewModel>& model);
    void build();
    void focusFirstUseful();
    void connectInputs();
    void drawAppearance(const ui::CardEntryViewModel& model);
    void drawFade(const ui::CardEntryViewModel& model);
    void drawFields(const ui::CardEntryViewModel& model);
    void drawButtons(const ui::CardEntryViewModel& model);
    void drawBusy(const ui::CardEntryViewModel& model);
    void drawCaption(QLabel& label, const ui::Caption& caption, const QColor& background);
    void fitWindowToContent();
    void endEditing();

    std::weak_ptr<ui::CardEntryViewModel> model_;
    QPointer<ScreenWindow> window_;
    // The window's widgets, which go with it.
    QScrollArea* scroll_ = nullptr;
    QWidget* content_ = nullptr;
    QWidget* topSpacing_ = nullptr;
    QWidget* bar_ = nullptr;
    // The bar's buttons: side by side, or one above the other in a narrow window.
    QBoxLayout* barRow_ = nullptr;
    QBoxLayout* form_ = nullptr;
    // The expiry and the security code: side by side, or one above the other in a narrow window.
    QBoxLayout* pair_ = nullptr;
    ImageBox* background_ = nullptr;
    ImageBox* logo_ = nullptr;
    QLabel* info_ = nullptr;
    std::array<QLabel*, 3> captions_{};
    std::array<CardLineEdit*, 3> fields_{};
    // Under the fields: why a field's content is not valid, once left.
    std::array<QLabel*, 3> problems_{};
    QColor behind_ = Qt::white;
    BarButton* cancel_ = nullptr;
    BarButton* proceed_ = nullptr;
    BusyIndicator* indicator_ = nullptr;
};

}  // namespace vanto::qt::detail
