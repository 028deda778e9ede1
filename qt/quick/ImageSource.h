#pragma once

#include <QUrl>

#include "vanto/platform/ui/Graphics.h"

namespace vanto::quick::detail {

/// Where a QML Image finds `image`: the module's own resource for a named image it has (the
/// library's logo "logoQuenta"), the encoded bytes in a data URL (PNG, JPEG, GIF, SVG, ...). An
/// empty address, and so no image, for a name the module does not have.
QUrl imageSource(const platform::ui::Image& image);

}  // namespace vanto::quick::detail
