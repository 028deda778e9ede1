#pragma once

#include "vanto/Export.h"
#include "vanto/platform/ui/View.h"

namespace vanto::platform::ui {

/// A busy spinner (an indeterminate QProgressBar or a spinner widget in a Qt binding).
class VANTO_EXPORT ActivityIndicator : public View {
  public:
    /// Hides (true) or shows (false) it.
    virtual void setHidden(bool hidden) = 0;
    /// Starts the busy animation; the indicator is visible while it runs, unless hidden.
    virtual void startAnimating() = 0;
    /// Stops the busy animation; a stopped indicator draws nothing.
    virtual void stopAnimating() = 0;
};

}  // namespace vanto::platform::ui
