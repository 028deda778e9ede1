#pragma once

#include <string>

#include "vanto/Export.h"

namespace vanto::platform::ui {

/// How a screen is presented, with the raw values hosts use for them.
enum class ModalPresentationStyle {
    /// The screen covers the whole display (or a whole top-level window).
    fullScreen = 0,
};

}  // namespace vanto::platform::ui

namespace vanto {

/// The base of both payment screens. It stands in for a UI toolkit's screen controller: each
/// screen keeps what it shows in a view model (platform::ui) that a UI binding draws, and runs the
/// life cycle the binding drives, on the main queue:
///
/// 1. loadViewIfNeeded(): sets the screen up, viewDidLoad(); once.
/// 2. viewDidAppear(): each time the screen has come on screen; each such presentation reports
///    at most one outcome to the delegate.
///
/// A screen is owned by the merchant application through std::shared_ptr; it closes itself when
/// its payment has ended, and lives on as long as its owner keeps it. Its logic runs without any
/// binding too: then nothing is drawn.
class VANTO_EXPORT BaseViewController {
  public:
    virtual ~BaseViewController() = default;
    BaseViewController(const BaseViewController&) = delete;
    BaseViewController& operator=(const BaseViewController&) = delete;

    /// Sets the screen up and runs viewDidLoad(), unless that happened already.
    void loadViewIfNeeded();
    bool isViewLoaded() const { return viewLoaded_; }

    /// The screen has come on screen: a new presentation begins. Loads the screen first if
    /// needed.
    virtual void viewDidAppear(bool animated);

    /// Whether the screen turns with the device.
    virtual bool shouldAutorotate() const { return true; }

    /// The name of the screen's layout.
    const std::string& nibName() const { return nibName_; }

    platform::ui::ModalPresentationStyle modalPresentationStyle() const {
        return modalPresentationStyle_;
    }
    void setModalPresentationStyle(platform::ui::ModalPresentationStyle style) {
        modalPresentationStyle_ = style;
    }

  protected:
    explicit BaseViewController(std::string nibName) : nibName_(std::move(nibName)) {}

    /// The screen is set up.
    virtual void viewDidLoad() {}

    /// Whether the presentation may still report; if so, it counts as reported from now on.
    bool takeReport();
    /// The screen appeared, and its presentation has not reported yet.
    bool awaitsReport() const { return presented_ && !reported_; }

  private:
    std::string nibName_;
    platform::ui::ModalPresentationStyle modalPresentationStyle_ =
        platform::ui::ModalPresentationStyle::fullScreen;
    bool viewLoaded_ = false;
    bool presented_ = false;
    bool reported_ = false;
};

}  // namespace vanto
