#include "demo/test_authority.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace tollenby::demo {
namespace {

bool Run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace

TestAuthority::TestAuthority() {
    char pattern[] = "/tmp/tollenby-ca-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return;
    folder = pattern;
    authorityFile = folder + "/authority.pem";
    certificateFile = folder + "/server.pem";
    keyFile = folder + "/server.key";
    const std::string authorityKey = folder + "/authority.key";
    const std::string request = folder + "/server.csr";
    const std::string extensions = folder + "/server.ext";
    {
        std::ofstream out(extensions);
        out << "basicConstraints=CA:FALSE\nsubjectAltName=IP:127.0.0.1\n"
               "keyUsage=digitalSignature\nextendedKeyUsage=serverAuth\n";
        if (!out) return;
    }
    const std::string ec = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    ok = Run("openssl req -x509 " + ec + " -days 2 -subj /CN=Tollenby-Test-Authority" +
             " -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign" +
             " -keyout " + authorityKey + " -out " + authorityFile) &&
         Run("openssl req " + ec + " -subj /CN=127.0.0.1 -keyout " + keyFile + " -out " + request) &&
         Run("openssl x509 -req -days 1 -in " + request + " -CA " + authorityFile + " -CAkey " +
             authorityKey + " -CAcreateserial -extfile " + extensions + " -out " + certificateFile);
}

TestAuthority::~TestAuthority() {
    if (folder.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

}  // namespace tollenby::demo
