// Kept connections: a caller's session, and the connection each thread keeps on its own.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>

#include "tests/web/fetch_routes.h"
#include "tests/web/local_servers.h"
#include "web/fetch_by_request_object.h"
#include "web/fetch_page.h"

namespace tollenby {
namespace {

// Kept connections: the session is destroyed before the server, so shutdown does not wait for it.
class KeptConnections : public testing::FetchRoutes {
  protected:
    bool KeepConnections() const override { return true; }

    ByteString Page(const std::string& path, Text* cookies = nullptr, bool noRedirect = false) {
        FetchControl control;
        control.session = &session_;
        return FetchPage(Url(path), 0, {}, cookies, nullptr, nullptr, nullptr, noRedirect, nullptr, {},
                         control);
    }

    HttpSession session_;
};

TEST_F(KeptConnections, ReusedSessionKeepsNoOptionsOrCookiesBetweenCalls) {
    ASSERT_TRUE(session_.Valid());
    ByteString peer = Page("/peer");
    EXPECT_EQ(Page("/peer"), peer);  // the same connection
    EXPECT_EQ(Page("/jar/set/sessioned"), "set");
    Text mine = "only=1";
    EXPECT_EQ(Page("/jar/echo", &mine), "only=1");  // bypass on a handle that used the jar before
    EXPECT_NE(Page("/jar/echo").find("sessioned=1"), std::string::npos);
    EXPECT_EQ(Page("/moved", nullptr, true), "moved body");
    EXPECT_EQ(Page("/moved"), "target body");

    int status = 0;
    EXPECT_EQ(FetchPageByRequestObject(Url("/jar/echo"), 0, {}, nullptr, nullptr, nullptr, nullptr, &status,
                                       false, {}, {}, 0, {}, {}, 1, &session_),
              "");
    EXPECT_EQ(status, 200);
}

TEST_F(KeptConnections, EachThreadKeepsItsOwnConnection) {
    auto twoPeers = [this] {
        std::pair<ByteString, ByteString> peers;
        std::thread([&] {
            peers.first = FetchPage(Url("/peer"));
            peers.second = FetchPage(Url("/peer"));
        }).join();  // the thread's session, and its connection, end with the thread
        return peers;
    };
    auto [first, second] = twoPeers();
    auto [other, unused] = twoPeers();
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(first, second);
    EXPECT_NE(first, other);
}

}  // namespace
}  // namespace tollenby
