#include "vanto/config/VantInAppUIConfig.h"

namespace vanto {

using platform::ui::Color;
using platform::ui::Font;
using platform::ui::FontWeight;

PaymentUILabelConfig::PaymentUILabelConfig(std::string text, Color textColor, Font textFont)
    : text_(std::move(text)), textColor_(textColor), textFont_(std::move(textFont)) {}

PaymentUILabelConfig& PaymentUILabelConfig::setText(std::string text) {
    text_ = std::move(text);
    return *this;
}

PaymentUILabelConfig& PaymentUILabelConfig::setTextColor(Color textColor) {
    textColor_ = textColor;
    return *this;
}

PaymentUILabelConfig& PaymentUILabelConfig::setTextFont(Font textFont) {
    textFont_ = std::move(textFont);
    return *this;
}

std::shared_ptr<PaymentUILabelConfig> PaymentUILabel::create(std::string text, Color textColor,
                                                             Font textFont) {
    return std::make_shared<PaymentUILabelConfig>(std::move(text), textColor, std::move(textFont));
}

std::shared_ptr<PaymentUILabelConfig> PaymentUILabel::create(std::string text, Font textFont) {
    return create(std::move(text), Color::black(), std::move(textFont));
}

VantInAppUIConfig::VantInAppUIConfig()
    : backgorundViewColor_(Color::white()),
      continueButtonText_("Continuar"),
      cancelButtonText_("Cancelar"),
      infoPaymentLabel_(PaymentUILabel::create(
          "Por favor, compruebe que el número de tarjeta y el resto de datos son exactamente los "
          "mismos que aparecen en la tarjeta.",
          Font::systemFont(kDefaultFontSize, FontWeight::regular))),
      numberCardLabel_(
          PaymentUILabel::create("N.º de tarjeta", Font::systemFont(kDefaultFontSize))),
      expireDateLabel_(PaymentUILabel::create("Caducidad", Font::systemFont(kDefaultFontSize))),
      cvvLabel_(PaymentUILabel::create("Cód. seguridad", Font::systemFont(kDefaultFontSize))) {}

VantInAppUIConfig& VantInAppUIConfig::setInfoPaymentLabel(
    std::shared_ptr<PaymentUILabelConfig> label) {
    infoPaymentLabel_ = std::move(label);
    return *this;
}

VantInAppUIConfig& VantInAppUIConfig::setNumberCardLabel(
    std::shared_ptr<PaymentUILabelConfig> label) {
    if (label) {
        numberCardLabel_ = std::move(label);
    }
    return *this;
}

VantInAppUIConfig& VantInAppUIConfig::setExpireDateLabel(
    std::shared_ptr<PaymentUILabelConfig> label) {
    if (label) {
        expireDateLabel_ = std::move(label);
    }
    return *this;
}

VantInAppUIConfig& VantInAppUIConfig::setCVVLabel(std::shared_ptr<PaymentUILabelConfig> label) {
    if (label) {
        cvvLabel_ = std::move(label);
    }
    return *this;
}

VantInAppUIConfig& VantInAppUIConfig::setCancelButtonText(std::string text) {
    cancelButtonText_ = std::move(text);
    return *this;
}

VantInAppUIConfig& VantInAppUIConfig::setContinueButtonText(std::string text) {
    continueButtonText_ = std::move(text);
    return *this;
}

VantInAppUIConfig& VantInAppUIConfig::setLogo(std::optional<platform::ui::Image> logo) {
    logo_ = std::move(logo);
    return *this;
}

VantInAppUIConfig& VantInAppUIConfig::setBackgorundViewColor(Color color) {
    backgorundViewColor_ = color;
    return *this;
}

VantInAppUIConfig& VantInAppUIConfig::setBackgroundImageView(
    std::optional<platform::ui::Image> image) {
    backgroundImageView_ = std::move(image);
    return *this;
}

VantInAppUIConfig& VantInAppUIConfig::setSecurityCodeMasked(bool masked) {
    securityCodeMasked_ = masked;
    return *this;
}

}  // namespace vanto
