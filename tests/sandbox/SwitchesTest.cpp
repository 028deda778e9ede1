// How order numbers are read as switches.

#include <gtest/gtest.h>

#include "vanto/sandbox/Switches.h"

namespace vanto::sandbox {
namespace {

using namespace std::chrono_literals;

TEST(OrderSwitches, NumbersEndAtTheFirstOtherCharacterAndHaveExactlyTheirDigits) {
    EXPECT_EQ(Fault::fromOrderNumber("FAULT_STATUS_503"), Fault::httpStatus(503));
    EXPECT_EQ(Fault::fromOrderNumber("FAULT_STATUS_299x"), Fault::httpStatus(299));
    EXPECT_EQ(Fault::fromOrderNumber("FAULT_DELAY_120000"), Fault::delayed(120000ms));
    EXPECT_EQ(Fault::fromOrderNumber("FAULT_DELAY_0"), Fault::delayed(0ms));
    EXPECT_EQ(readOrderSwitches("PAGEFAULT_DELAY_40A").pageFault, Fault::delayed(40ms));
    EXPECT_EQ(readOrderSwitches("RETURNFAULT_500X").returnFault, Fault::httpStatus(500));
    EXPECT_EQ(readOrderSwitches("OUTCOME_0099B").outcome, Outcome::response0099);
    for (const char* none :
         {"FAULT_STATUS_5031", "FAULT_STATUS_100", "FAULT_STATUS_199", "FAULT_STATUS_600",
          "FAULT_STATUS_50", "FAULT_STATUS_0503", "FAULT_STATUS_", "FAULT_DELAY_",
          "FAULT_DELAY_120001", "FAULT_DELAY_0000001", "PAGEFAULT_5000", "PAGEFAULT_403",
          "RETURNFAULT_4044", "OUTCOME_00991", "OUTCOME_OTHER", "RESULT_OTHER", "ORDER_FAULT_CLOSE",
          "fault_close", "1234"}) {
        EXPECT_EQ(readOrderSwitches(none), OrderSwitches{}) << none;
    }
}

TEST(OrderSwitches, PartsSeparatedByDashesCombineAndTheFirstOfAFamilyDecides) {
    OrderSwitches expected;
    expected.authenticationStep = true;
    expected.outcome = Outcome::response0100;
    expected.result.acceptedToUrlKo = true;
    expected.result.parametersFirst = true;
    expected.result.encoding = ResultShape::Encoding::urlSafeBase64;
    expected.pageFault = Fault::closeConnection();
    expected.pageFault->delay = 20ms;
    expected.returnFault = Fault::httpStatus(404);
    expected.fault = Fault::notJson();
    EXPECT_EQ(readOrderSwitches("7-AUTHSTEP-OUTCOME_0100-OUTCOME_0099-RESULT_OKTOKO-"
                                "RESULT_PARAMSFIRST-RESULT_URLSAFE-RESULT_BADBASE64-"
                                "PAGEFAULT_DELAY_20-PAGEFAULT_CLOSE-PAGEFAULT_500-RETURNFAULT_404-"
                                "FAULT_NOTJSON-FAULT_EMPTY"),
              expected);

    Fault delayedStatus = Fault::httpStatus(503);
    delayedStatus.delay = 500ms;
    EXPECT_EQ(Fault::fromOrderNumber("FAULT_STATUS_503-FAULT_DELAY_500"), delayedStatus);
    EXPECT_EQ(readOrderSwitches("X-RESULT_NOPARAMS").result.encoding,
              ResultShape::Encoding::absent);
    EXPECT_EQ(readOrderSwitches("RESULT_BADBASE64").result.encoding,
              ResultShape::Encoding::notBase64);
    EXPECT_EQ(readOrderSwitches("OUTCOME_NODATOS").outcome, Outcome::noDatosRespuesta);
}

}  // namespace
}  // namespace vanto::sandbox
