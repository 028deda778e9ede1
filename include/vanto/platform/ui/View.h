#pragma once

#include "vanto/Export.h"

namespace vanto::platform::ui {

/// An element a toolkit binding draws: the common base of the screens' elements, so that one can
/// be placed in or over another (MainView::setContentView, WebView::addSubview). A binding
/// implements each element over a widget of its own and finds that widget again by downcasting.
///
/// Every operation of an element runs on the main queue. The screens keep their elements until
/// they are destroyed themselves, and may still call them after they were dismissed: an element
/// whose widget has gone must take such calls without effect.
class VANTO_EXPORT View {
  public:
    virtual ~View() = default;

  protected:
    View() = default;
    View(const View&) = default;
    View& operator=(const View&) = default;
};

}  // namespace vanto::platform::ui
