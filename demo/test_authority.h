// A certificate authority made at run time with the openssl command, and a certificate it signed for
// 127.0.0.1, so tests and benchmarks can serve HTTPS on loopback that a verifying client accepts when
// told to trust the authority (FetchPage reads TOLLENBY_CA_FILE). Everything lives in a temporary
// folder that goes with the object.
#pragma once

#include <string>

namespace tollenby::demo {

struct TestAuthority {
    TestAuthority();
    ~TestAuthority();
    TestAuthority(const TestAuthority&) = delete;
    TestAuthority& operator=(const TestAuthority&) = delete;

    bool ok = false;  // false when openssl is missing or failed
    std::string folder;
    std::string authorityFile;    // the authority's certificate (PEM): the file to trust
    std::string certificateFile;  // the server certificate for 127.0.0.1
    std::string keyFile;          // its private key
};

}  // namespace tollenby::demo
