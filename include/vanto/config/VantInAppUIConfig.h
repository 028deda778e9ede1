#pragma once

#include <memory>
#include <optional>
#include <string>

#include "vanto/Export.h"
#include "vanto/platform/ui/Graphics.h"

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

/// How the card-entry screen looks: the merchant application's colours, images, button texts and
/// captions. A new object holds the library's own Spanish defaults, so an object left as it is
/// gives the standard screen:
/// - no logo (the screen shows the library's image "logoQuenta"), no background image, a white
///   background;
/// - the buttons "Continuar" and "Cancelar";
/// - the information caption "Por favor, compruebe que el número de tarjeta y el resto de datos
///   son exactamente los mismos que aparecen en la tarjeta." in black, in the system font of 16
///   points asked for in regular weight;
/// - the field captions "N.º de tarjeta", "Caducidad" and "Cód. seguridad" in black, in the
///   system font of 16 points in its default weight;
/// - the security code shown as it is typed.
///
/// The object is shared (std::shared_ptr): the merchant application creates it, adjusts it and
/// hands it to DirectPaymentViewController::create, which keeps it; the screen reads it when it
/// sets itself up. Nothing in the library changes it. Each setter returns the object itself, so
/// calls chain: `config->setCancelButtonText("Volver").setContinueButtonText("Pagar")`.
class VANTO_EXPORT VantInAppUIConfig {
  public:
    /// The size, in points, of every caption's default font.
    static constexpr double kDefaultFontSize = 16.0;

    /// An object with the defaults.
    VantInAppUIConfig();

    const std::optional<platform::ui::Image>& logo() const { return logo_; }
    const platform::ui::Color& backgorundViewColor() const { return backgorundViewColor_; }
    const std::optional<platform::ui::Image>& backgroundImageView() const {
        return backgroundImageView_;
    }
    const std::string& continueButtonText() const { return continueButtonText_; }
    const std::string& cancelButtonText() const { return cancelButtonText_; }
    /// The information caption; null: the caption shows no text.
    const std::shared_ptr<PaymentUILabelConfig>& infoPaymentLabel() const {
        return infoPaymentLabel_;
    }
    /// The captions of the three fields; never null.
    const std::shared_ptr<PaymentUILabelConfig>& numberCardLabel() const {
        return numberCardLabel_;
    }
    const std::shared_ptr<PaymentUILabelConfig>& expireDateLabel() const {
        return expireDateLabel_;
    }
    const std::shared_ptr<PaymentUILabelConfig>& cvvLabel() const { return cvvLabel_; }
    /// The security code shows as a row of dots as it is typed, for screens in public view (a
    /// kiosk); off by default.
    bool securityCodeMasked() const { return securityCodeMasked_; }

    /// Null clears the information caption.
    VantInAppUIConfig& setInfoPaymentLabel(std::shared_ptr<PaymentUILabelConfig> label);
    /// The three field captions are always present: null leaves the caption as it was.
    VantInAppUIConfig& setNumberCardLabel(std::shared_ptr<PaymentUILabelConfig> label);
    VantInAppUIConfig& setExpireDateLabel(std::shared_ptr<PaymentUILabelConfig> label);
    VantInAppUIConfig& setCVVLabel(std::shared_ptr<PaymentUILabelConfig> label);
    VantInAppUIConfig& setCancelButtonText(std::string text);
    VantInAppUIConfig& setContinueButtonText(std::string text);
    /// None puts the library's own logo back.
    VantInAppUIConfig& setLogo(std::optional<platform::ui::Image> logo);
    VantInAppUIConfig& setBackgorundViewColor(platform::ui::Color color);
    /// None: no background image.
    VantInAppUIConfig& setBackgroundImageView(std::optional<platform::ui::Image> image);
    VantInAppUIConfig& setSecurityCodeMasked(bool masked);

  private:
    std::optional<platform::ui::Image> logo_;
    platform::ui::Color backgorundViewColor_;
    std::optional<platform::ui::Image> backgroundImageView_;
    std::string continueButtonText_;
    std::string cancelButtonText_;
    std::shared_ptr<PaymentUILabelConfig> infoPaymentLabel_;
    std::shared_ptr<PaymentUILabelConfig> numberCardLabel_;
    std::shared_ptr<PaymentUILabelConfig> expireDateLabel_;
    std::shared_ptr<PaymentUILabelConfig> cvvLabel_;
    bool securityCodeMasked_ = false;
};

}  // namespace vanto
