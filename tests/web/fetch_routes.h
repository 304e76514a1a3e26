// Ordinary routes on a cpp-httplib server on 127.0.0.1, for the fetcher tests that need real answers:
// error statuses, redirects, bodies of a chosen size, the cookie jar, connection identities.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/web/local_servers.h"

namespace tollenby::testing {

class FetchRoutes : public ::testing::Test {
  protected:
    void SetUp() override {
        auto& s = http_.server();
        s.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("no such page", "text/plain");
        });
        s.Get("/moved", [](const httplib::Request&, httplib::Response& res) {
            res.status = 302;
            res.set_header("Location", "/target");
            res.set_content("moved body", "text/plain");
        });
        s.Get("/target", [](const httplib::Request&, httplib::Response& res) {
            res.set_header("X-Final", "yes");
            res.set_content("target body", "text/plain");
        });
        s.Get("/loop", [](const httplib::Request&, httplib::Response& res) {
            res.status = 302;
            res.set_header("Location", "/loop");
        });
        s.Get("/bytes/(\\d+)", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(std::string(std::stoul(req.matches[1]), 'x'), "application/octet-stream");
        });
        s.Get("/chunked/(\\d+)", [](const httplib::Request& req, httplib::Response& res) {
            std::size_t total = std::stoul(req.matches[1]);
            res.set_chunked_content_provider(
                "application/octet-stream", [total](std::size_t offset, httplib::DataSink& sink) {
                    if (offset >= total) {
                        sink.done();
                        return true;
                    }
                    std::string piece(std::min<std::size_t>(500, total - offset), 'y');
                    return sink.write(piece.data(), piece.size());
                });
        });
        s.Get("/jar/set/(\\w+)", [](const httplib::Request& req, httplib::Response& res) {
            res.set_header("Set-Cookie", std::string(req.matches[1]) + "=1; Path=/jar");
            res.set_content("set", "text/plain");
        });
        s.Get("/jar/echo", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(req.get_header_value("Cookie"), "text/plain");
        });
        s.Get("/jar/setecho/(\\w+)", [](const httplib::Request& req, httplib::Response& res) {
            res.set_header("Set-Cookie", std::string(req.matches[1]) + "=2; Path=/jar");
            res.set_content(req.get_header_value("Cookie"), "text/plain");
        });
        s.Get("/peer", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(std::to_string(req.remote_port), "text/plain");  // tells connections apart
        });
        s.Post("/echo", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(req.get_header_value("Content-Type") + "|" + req.body, "text/plain");
        });
        s.Get("/head", [](const httplib::Request&, httplib::Response& res) {  // answers HEAD too
            res.set_header("X-Head", "1");
            res.set_content("not for HEAD", "text/plain");
        });
        // Connections are closed after each answer unless a test keeps them on purpose: a kept
        // connection holds the server's shutdown for its keep-alive time.
        if (!KeepConnections()) s.set_keep_alive_max_count(1);
        http_.Start();
    }

    virtual bool KeepConnections() const { return false; }

    std::string Url(const std::string& path) const { return http_.Url(path); }

    HttpServer http_;
};

}  // namespace tollenby::testing
