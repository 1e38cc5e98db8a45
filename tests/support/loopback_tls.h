#pragma once
#include <string>
#include <string_view>

namespace marl::test {

// A certificate and its private key, both PEM, for test servers on 127.0.0.1.
struct TlsIdentity {
    std::string cert_pem;
    std::string key_pem;
};

// A self-signed certificate (EC P-256, SHA-256) for `common_name`, made at run time. With `expired`
// its validity ended yesterday; otherwise it runs from yesterday to tomorrow. Throws on failure.
TlsIdentity MakeSelfSignedIdentity(std::string_view common_name, bool expired = false);

}  // namespace marl::test
