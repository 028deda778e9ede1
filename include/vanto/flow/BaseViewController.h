#pragma once

#include <memory>
#include <string>

#include "vanto/Export.h"
#include "vanto/platform/ui/Alert.h"
#include "vanto/platform/ui/MainView.h"
#include "vanto/platform/ui/ModalPresentationStyle.h"
#include "vanto/platform/ui/Presentation.h"
#include "vanto/platform/ui/Toolkit.h"

namespace vanto {

/// The base of both payment screens. It stands in for a UI toolkit's screen controller: it loads
/// the screen's elements through the toolkit (platform::ui::Toolkit) the first time they are
/// needed and runs the life cycle that the toolkit binding drives, on the main queue:
///
/// 1. loadViewIfNeeded(): loads the elements of the screen's layout, then viewDidLoad(); once.
/// 2. viewDidAppear(): each time the screen has come on screen.
///
/// A screen is owned by the merchant application through std::shared_ptr; it closes itself
/// through its presentation when its payment has ended, and lives on as long as its owner keeps
/// it. Without a toolkit a screen has no elements: its logic runs and nothing is drawn.
class VANTO_EXPORT BaseViewController {
  public:
    virtual ~BaseViewController() = default;
    BaseViewController(const BaseViewController&) = delete;
    BaseViewController& operator=(const BaseViewController&) = delete;

    /// Loads the screen's elements and runs viewDidLoad(), unless that happened already.
    void loadViewIfNeeded();
    bool isViewLoaded() const { return viewLoaded_; }

    /// The screen has come on screen. Loads the elements first if needed.
    virtual void viewDidAppear(bool animated);

    /// Whether the screen turns with the device.
    virtual bool shouldAutorotate() const { return true; }

    /// The name of the screen's layout, which the toolkit's loader of the same name lays out.
    const std::string& nibName() const { return nibName_; }

    platform::ui::ModalPresentationStyle modalPresentationStyle() const {
        return modalPresentationStyle_;
    }
    void setModalPresentationStyle(platform::ui::ModalPresentationStyle style) {
        modalPresentationStyle_ = style;
    }

    /// The screen's main view, which a binding shows; null before loading or without a toolkit.
    const std::shared_ptr<platform::ui::MainView>& view() const { return view_; }

  protected:
    /// `toolkit` is the one set when the screen is created (platform::ui::toolkit()); the screen
    /// keeps it.
    BaseViewController(std::string nibName, std::shared_ptr<platform::ui::Toolkit> toolkit);

    /// Takes the elements of the screen's layout from the toolkit and keeps them, calling
    /// setView() with the main view and presentation among them.
    virtual void loadView() = 0;
    /// The elements are loaded.
    virtual void viewDidLoad() {}

    const std::shared_ptr<platform::ui::Toolkit>& toolkit() const { return toolkit_; }
    void setView(std::shared_ptr<platform::ui::MainView> view,
                 std::shared_ptr<platform::ui::Presentation> presentation);

    /// Shows `alert` over the screen.
    void present(platform::ui::Alert alert, bool animated) const;
    /// Takes the screen away, with nothing run afterwards.
    void dismiss(bool animated) const;

  private:
    std::string nibName_;
    std::shared_ptr<platform::ui::Toolkit> toolkit_;
    platform::ui::ModalPresentationStyle modalPresentationStyle_ =
        platform::ui::ModalPresentationStyle::fullScreen;
    bool viewLoaded_ = false;
    std::shared_ptr<platform::ui::MainView> view_;
    std::shared_ptr<platform::ui::Presentation> presentation_;
};

}  // namespace vanto
