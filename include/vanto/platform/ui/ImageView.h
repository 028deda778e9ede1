#pragma once

#include "vanto/Export.h"
#include "vanto/platform/ui/Image.h"
#include "vanto/platform/ui/View.h"

namespace vanto::platform::ui {

/// An element that shows an image (a QLabel with a pixmap in a Qt binding).
class VANTO_EXPORT ImageView : public View {
  public:
    /// Shows `image`, a named resource or encoded bytes, in place of the previous one.
    virtual void setImage(const Image& image) = 0;
    /// Opacity from 0.0 (invisible) to 1.0; an animation of it (Toolkit::animate) fades.
    virtual void setAlpha(double alpha) = 0;
};

}  // namespace vanto::platform::ui
