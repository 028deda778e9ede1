#include <gtest/gtest.h>

#include "vanto/config/PaymentUILabel.h"
#include "vanto/config/VantInAppUIConfig.h"

namespace vanto {
namespace {

using platform::ui::Color;
using platform::ui::Font;
using platform::ui::FontWeight;
using platform::ui::Image;

TEST(Appearance, ANewObjectGivesTheStandardScreen) {
    const VantInAppUIConfig config;
    EXPECT_FALSE(config.logo());
    EXPECT_FALSE(config.backgroundImageView());
    EXPECT_EQ(config.backgorundViewColor(), Color::white());
    EXPECT_EQ(config.continueButtonText(), "Continuar");
    EXPECT_EQ(config.cancelButtonText(), "Cancelar");

    ASSERT_TRUE(config.infoPaymentLabel());
    EXPECT_EQ(config.infoPaymentLabel()->text(),
              "Por favor, compruebe que el número de tarjeta y el resto de datos son exactamente "
              "los mismos que aparecen en la tarjeta.");
    EXPECT_EQ(config.infoPaymentLabel()->textFont(), Font::systemFont(16, FontWeight::regular))
        << "asked for in regular weight";
    const struct {
        const std::shared_ptr<PaymentUILabelConfig>& label;
        const char* text;
    } fields[] = {{config.numberCardLabel(), "N.º de tarjeta"},
                  {config.expireDateLabel(), "Caducidad"},
                  {config.cvvLabel(), "Cód. seguridad"}};
    for (const auto& [label, text] : fields) {
        EXPECT_EQ(label->text(), text);
        EXPECT_EQ(label->textFont(), Font::systemFont(16)) << "the system font as it comes";
        EXPECT_FALSE(label->textFont().weight);
    }
    for (const auto* label : {&config.infoPaymentLabel(), &config.numberCardLabel(),
                              &config.expireDateLabel(), &config.cvvLabel()}) {
        EXPECT_EQ((*label)->textColor(), Color::black());
        EXPECT_TRUE((*label)->textFont().isSystemFont());
    }
}

TEST(Appearance, SettersChainOnTheSameObjectAndOnlyTheInformationCaptionMayBeAbsent) {
    auto config = std::make_shared<VantInAppUIConfig>();
    auto& chained = config->setCancelButtonText("Volver")
                        .setContinueButtonText("Pagar")
                        .setLogo(Image::named("shopLogo"))
                        .setBackgroundImageView(Image::fromData("\x89PNG"))
                        .setBackgorundViewColor({0.1, 0.2, 0.3, 1.0});
    EXPECT_EQ(&chained, config.get());
    EXPECT_EQ(config->cancelButtonText(), "Volver");
    EXPECT_EQ(config->continueButtonText(), "Pagar");
    EXPECT_EQ(config->logo(), Image::named("shopLogo"));

    config->setLogo(std::nullopt).setInfoPaymentLabel(nullptr).setCVVLabel(nullptr);
    EXPECT_FALSE(config->logo()) << "absent puts the library's own logo back";
    EXPECT_FALSE(config->infoPaymentLabel());
    ASSERT_TRUE(config->cvvLabel()) << "a field caption is never absent";
    EXPECT_EQ(config->cvvLabel()->text(), "Cód. seguridad");

    const auto caption = PaymentUILabel::create("Número", Font::named("Helvetica", 12));
    EXPECT_EQ(caption->textColor(), Color::black()) << "black unless given a colour";
    config->setNumberCardLabel(caption);
    caption->setText("Tarjeta");
    EXPECT_EQ(config->numberCardLabel()->text(), "Tarjeta") << "the caption object is shared";
}

}  // namespace
}  // namespace vanto
