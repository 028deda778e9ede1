#pragma once

#include <string>

#include "vanto/Export.h"
#include "vanto/platform/ui/Color.h"
#include "vanto/platform/ui/Font.h"

namespace vanto {

/// The text and style of one caption of the card-entry screen. Shared: the appearance object and
/// the merchant application hold the same object (std::shared_ptr), and a change made to it shows
/// wherever the screen reads it again. Made with PaymentUILabel::create or the constructor.
class VANTO_EXPORT PaymentUILabelConfig {
  public:
    PaymentUILabelConfig(std::string text, platform::ui::Color textColor,
                         platform::ui::Font textFont);

    const std::string& text() const { return text_; }
    PaymentUILabelConfig& setText(std::string text);

    const platform::ui::Color& textColor() const { return textColor_; }
    PaymentUILabelConfig& setTextColor(platform::ui::Color textColor);

    const platform::ui::Font& textFont() const { return textFont_; }
    PaymentUILabelConfig& setTextFont(platform::ui::Font textFont);

  private:
    std::string text_;
    platform::ui::Color textColor_;
    platform::ui::Font textFont_;
};

}  // namespace vanto
