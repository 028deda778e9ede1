#include <gtest/gtest.h>

#include "vanto/config/PaymentUILabel.h"
#include "vanto/config/VantInAppUIConfig.h"

namespace vanto {
namespace {

using platform::ui::Color;
using platform::ui::Font;
using platform::ui::Image;

// What the screens show of an appearance is checked with the screens; here, what the object
// itself keeps.
TEST(Appearance, SettersChainOnTheSameObjectAndOnlyTheInformationCaptionMayBeAbsent) {
    auto config = std::make_shared<VantInAppUIConfig>();
    auto& chained = config->setCancelButtonText("Volver")
                        .setLogo(Image::named("shopLogo"))
                        .setBackgorundViewColor({0.1, 0.2, 0.3, 1.0});
    EXPECT_EQ(&chained, config.get());

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
