// FetchPage trusts the authority TOLLENBY_CA_FILE names, and still refuses a certificate nobody in that
// file vouches for. The variable is read once per process, so this binary sets it before any fetch.
#include <gtest/gtest.h>

#include <stdlib.h>

#include "demo/demo_site.h"
#include "demo/test_authority.h"
#include "web/fetch_page.h"

namespace tollenby {
namespace {

TEST(TrustedAuthority, FetchPageAcceptsItsCertificatesOnlyAndKeepsCheckingOthers) {
    demo::TestAuthority trusted;
    demo::TestAuthority stranger;
    ASSERT_TRUE(trusted.ok && stranger.ok) << "openssl could not make the authorities";
    ASSERT_EQ(::setenv("TOLLENBY_CA_FILE", trusted.authorityFile.c_str(), 1), 0);

    demo::DemoSite site(trusted.certificateFile, trusted.keyFile);
    ASSERT_TRUE(site.Start());
    EXPECT_EQ(site.BaseUrl().rfind("https://", 0), 0u);
    demo::DemoSite impostor(stranger.certificateFile, stranger.keyFile);
    ASSERT_TRUE(impostor.Start());

    int status = 0;
    FetchControl control;
    control.statusCode = &status;
    const ByteString page = FetchPage(site.BaseUrl() + "/detail/1.html", 0, {}, nullptr, nullptr, nullptr,
                                      nullptr, false, nullptr, {}, control);
    EXPECT_EQ(status, 200);
    EXPECT_EQ(page, *demo::DetailPageHtml(1, site.BaseUrl()));

    EXPECT_EQ(FetchPage(impostor.BaseUrl() + "/detail/1.html", 0, {}, nullptr, nullptr, nullptr, nullptr,
                        false, nullptr, {}, control),
              "");
    EXPECT_EQ(status, 0);
}

TEST(TrustedAuthority, ASiteWithoutItsKeyDoesNotStart) {
    demo::DemoSite site("/nonexistent/server.pem", "/nonexistent/server.key");
    EXPECT_FALSE(site.Start());
}

}  // namespace
}  // namespace tollenby
