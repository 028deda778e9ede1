#pragma once

#include <array>
#include <memory>

#include <QPointer>

#include "vanto/platform/ui/CardEntryViewModel.h"

class QLabel;
class QPushButton;
class QWidget;

namespace vanto::qt::detail {

namespace ui = platform::ui;

class BusyIndicator;
class CardLineEdit;
class ImageBox;
class ScreenWindow;

/// The card-entry screen on Qt Widgets: a window with a top bar (cancel, continue), the logo, the
/// information text and the three card fields with their captions, drawn from the screen's view
/// model, which it observes and which owns it; the widgets hand what the cardholder does to the
/// model. The window goes when this does.
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
    void connectInputs();
    void drawAppearance(const ui::CardEntryViewModel& model);
    void drawFade(const ui::CardEntryViewModel& model);
    void drawFields(const ui::CardEntryViewModel& model);
    void drawButtons(const ui::CardEntryViewModel& model);
    void drawBusy(const ui::CardEntryViewModel& model);
    void endEditing();

    std::weak_ptr<ui::CardEntryViewModel> model_;
    QPointer<ScreenWindow> window_;
    // The window's widgets, which go with it.
    QWidget* topSpacing_ = nullptr;
    QWidget* bar_ = nullptr;
    ImageBox* background_ = nullptr;
    ImageBox* logo_ = nullptr;
    QLabel* info_ = nullptr;
    std::array<QLabel*, 3> captions_{};
    std::array<CardLineEdit*, 3> fields_{};
    QPushButton* cancel_ = nullptr;
    QPushButton* proceed_ = nullptr;
    BusyIndicator* indicator_ = nullptr;
};

}  // namespace vanto::qt::detail
