#include <gtest/gtest.h>

#include "tests/web/local_servers.h"
#include "web/fetch_by_request_object.h"
#include "web/fetch_page.h"

namespace tollenby {
namespace {

using testing::HttpServer;
using testing::SelfSignedCertificate;

// A certificate nobody vouches for: FetchPage verifies and refuses it, the request object ignores it.
class SelfSignedHttps : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(certificate_.ok) << "openssl could not make a certificate";
        secure_ = std::make_unique<HttpServer>(certificate_.certificateFile, certificate_.keyFile);
        secure_->server().Get("/", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("secure", "text/plain");
        });
        secure_->server().set_keep_alive_max_count(1);
        secure_->Start();
        plain_.server().Get("/up", [this](const httplib::Request&, httplib::Response& res) {
            res.set_redirect(secure_->Url("/"));
        });
        // Closed after each answer, so the thread's kept connection does not hold the shutdown.
        plain_.server().set_keep_alive_max_count(1);
        plain_.Start();
    }

    SelfSignedCertificate certificate_;
    std::unique_ptr<HttpServer> secure_;
    HttpServer plain_;
};

TEST_F(SelfSignedHttps, FetchPageRefusesTheCertificate) {
    int status = -1;
    FetchControl control;
    control.statusCode = &status;
    EXPECT_EQ(
        FetchPage(secure_->Url("/"), 0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr, {}, control),
        "");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(FetchPage(plain_.Url("/up")), "");  // the redirect leads to the same refusal
}

TEST_F(SelfSignedHttps, RequestObjectIgnoresCertificateErrors) {
    int status = 0;
    EXPECT_EQ(FetchPageByRequestObject(secure_->Url("/"), 0, {}, nullptr, nullptr, nullptr, nullptr, &status),
              "secure");
    EXPECT_EQ(status, 200);
    // A redirect from a plain to a secure address is followed.
    EXPECT_EQ(FetchPageByRequestObject(plain_.Url("/up")), "secure");
}

}  // namespace
}  // namespace tollenby
