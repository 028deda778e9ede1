#pragma once

#include <memory>
#include <string>

#include "vanto/Export.h"
#include "vanto/config/PaymentUILabelConfig.h"

namespace vanto {

/// Makes caption configurations for the card-entry screen.
class VANTO_EXPORT PaymentUILabel {
  public:
    PaymentUILabel() = delete;

    /// A new caption configuration with the given text, colour and font.
    static std::shared_ptr<PaymentUILabelConfig> create(std::string text,
                                                        platform::ui::Color textColor,
                                                        platform::ui::Font textFont);
    /// The same in black, the colour a caption has unless given one.
    static std::shared_ptr<PaymentUILabelConfig> create(std::string text,
                                                        platform::ui::Font textFont);
};

}  // namespace vanto
