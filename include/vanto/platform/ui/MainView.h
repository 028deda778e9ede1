#pragma once

#include <functional>
#include <memory>

#include "vanto/Export.h"
#include "vanto/platform/ui/Color.h"
#include "vanto/platform/ui/View.h"

namespace vanto::platform::ui {

/// A screen's whole area: the window or top-level widget a binding shows when the screen is
/// presented.
class VANTO_EXPORT MainView : public View {
  public:
    /// Paints the area behind the elements in `color`.
    virtual void setBackgroundColor(const Color& color) = 0;
    /// Ends editing anywhere in the view: the field with the focus loses it and an on-screen
    /// keyboard closes.
    virtual void endEditing() = 0;
    /// Runs `action`, on the main queue, on each single tap (click) on the view outside its
    /// controls. Added to the actions added before.
    virtual void addTapRecognizer(std::function<void()> action) = 0;
    /// Makes `content` fill the whole view, in place of the view's own elements.
    virtual void setContentView(std::shared_ptr<View> content) = 0;
};

}  // namespace vanto::platform::ui
