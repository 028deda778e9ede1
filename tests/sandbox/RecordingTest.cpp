// The recording for outside clients (record file and GET /sandbox/recorded), with card data
// masked; in process it keeps everything (ServerTest reads it there).

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "SandboxTestSupport.h"

namespace vanto::sandbox::testing {
namespace {

class OutsideRecordingTest : public SandboxTest {
  protected:
    void SetUp() override {
        std::remove(recordPath_.c_str());
        vanto::testing::cardDataWatch().watchFile(recordPath_);
        SandboxTest::SetUp();
    }
    SandboxOptions options() const override {
        SandboxOptions options = SandboxTest::options();
        options.recordFile = recordPath_;
        return options;
    }

    std::vector<nlohmann::json> fileRecords() const {
        std::vector<nlohmann::json> records;
        std::ifstream in(recordPath_);
        for (std::string line; std::getline(in, line);) {
            records.push_back(nlohmann::json::parse(line, nullptr, false));
        }
        return records;
    }

    const std::string recordPath_ = temporaryPath("sandbox-record.jsonl");
};

TEST_F(OutsideRecordingTest, FileAndEndpointHoldEveryRequestWithCardDataMasked) {
    ASSERT_EQ(pay("4000000000000002", "REC0001").code, 0);
    const httplib::Result page = openPage("REC0002");
    ASSERT_TRUE(page);
    const std::string pageId = inputValue(page->body, "pagina");
    ASSERT_EQ(submitCard(pageId, "4000 0000 0000 0002")->status, 303);
    // Other spellings of the same form: "+" for the spaces, names percent-encoded.
    ASSERT_EQ(postForm(kCardFormPath, "pagina=" + pageId +
                                          "&n%75mero=4000+0000+0000+0002&c%61ducidad=12%2F29&"
                                          "%63vv=123&accion=pagar")
                  ->status,
              303);
    // A member name written with an escape slips past a search for the name.
    const std::string escaped =
        R"({"mensaje":"{\"datosPeticion\":{\"DS_MERCHANT_\\u0050AN\":\"4000000000000010\"}}",)"
        R"("firma":"0"})";
    // A header field and a path may carry card data too.
    postService(kDirectPath, escaped,
                {{"Referer", "https://tienda.example/?pan=4000000000000028"}});
    client_->Get("/sandbox/4000000000000036");
    ASSERT_EQ(gateway_->requests().size(), 7u);

    const httplib::Result listed = client_->Get("/sandbox/recorded");
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->status, 200);
    EXPECT_EQ(listed->get_header_value("Transfer-Encoding"), "chunked") << "made as it goes out";
    EXPECT_EQ(gateway_->requests().size(), 7u) << "reading the recording is not recorded";
    const nlohmann::json endpoint = nlohmann::json::parse(listed->body, nullptr, false);
    ASSERT_TRUE(endpoint.is_array());
    EXPECT_EQ(endpoint, nlohmann::json(fileRecords()));

    ASSERT_EQ(endpoint.size(), 7u);
    // The card numbers as such are the card-data watch's, which reads the file; here, the
    // spellings and the three-digit code it does not look for.
    for (const nlohmann::json& record : endpoint) {
        const std::string body = record["body"];
        for (const char* clear :
             {"4000%200000", "4000+0000", R"(CVV2\":\"123)", "caducidad=12", "12%2F29", "vv=123"}) {
            EXPECT_EQ(body.find(clear), std::string::npos) << clear << " in " << body;
        }
    }
    const nlohmann::json& direct = endpoint[0];
    EXPECT_EQ(direct["method"], "POST");
    EXPECT_EQ(direct["path"], kDirectPath);
    EXPECT_NE(std::find(direct["headers"].begin(), direct["headers"].end(),
                        nlohmann::json::array({"Content-Type", kFormType})),
              direct["headers"].end());
    EXPECT_EQ(direct["carriedSessionCookie"], false);
    const std::string directBody = direct["body"];
    EXPECT_NE(directBody.find(R"(DS_MERCHANT_PAN\":\"************0002\")"), std::string::npos)
        << directBody;
    EXPECT_NE(directBody.find(R"(DS_MERCHANT_CVV2\":\"***\")"), std::string::npos);
    EXPECT_NE(directBody.find(R"(DS_MERCHANT_EXPIRYDATE\":\"****\")"), std::string::npos);
    EXPECT_NE(directBody.find("DS_MERCHANT_ORDER"), std::string::npos) << "the rest stays";

    const nlohmann::json& cardForm = endpoint[3];
    EXPECT_EQ(cardForm["path"], kCardFormPath);
    EXPECT_EQ(cardForm["carriedSessionCookie"], true);
    EXPECT_NE(cardForm["body"].get<std::string>().find(
                  "numero=***************0002&caducidad=*****&cvv=***&accion=pagar"),
              std::string::npos)
        << cardForm["body"];
    EXPECT_NE(endpoint[4]["body"].get<std::string>().find("&accion=pagar"), std::string::npos)
        << "the other fields stay";
}

}  // namespace
}  // namespace vanto::sandbox::testing
