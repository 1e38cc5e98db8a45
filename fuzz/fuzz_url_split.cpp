// The address splitters, the connection host and the browser address over any address text (a
// plan's address, or a link taken from a page).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "text/gbk_codec.h"
#include "text/text_ops.h"
#include "web/browsable_address.h"
#include "web/host_name.h"
#include "web/url_split.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using marl::fuzz::Check;
    const std::string url(reinterpret_cast<const char*>(data), size);

    const std::string host = marl::UrlHost(url, false);
    const std::string host_port = marl::UrlHost(url, true);
    Check(host.find(':') == std::string::npos, "the host without port holds no colon", host);
    Check(host_port.find('/') == std::string::npos, "the host holds no slash", host_port);
    Check(host_port.starts_with(host), "the host is the start of the host with its port", host, host_port);
    Check(marl::AsciiLower(host_port) == host_port, "the host is lower-cased", host_port);

    const int32_t port = marl::UrlPort(url);
    const size_t colon = host_port.rfind(':');
    const int32_t expected_port = colon != std::string::npos ? marl::TextToInt(host_port.substr(colon + 1))
                                  : marl::StartsWithNoCase(url, "https") ? 443
                                                                         : 80;
    Check(port == expected_port, "the port is the number after the host's last colon, else the default", url);

    const std::string path = marl::UrlPath(url);
    Check(path.starts_with('/'), "the path starts with a slash", path);
    Check(path == "/" || url.ends_with(path), "the path is the end of the address", path, url);

    const std::string connection = marl::ConnectionHost(host);
    for (const char c : connection) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                             c == '.' || c == '-' || c == '_';
        Check(allowed, "the connection host is plain ASCII", connection, host);
    }

    if (const auto address = marl::BrowsableAddress(url)) {
        Check(marl::StartsWithNoCase(*address, "http://") || marl::StartsWithNoCase(*address, "https://"),
              "only web addresses are opened", *address);
        // Reading the references back only ever shortens the address's UTF-8 form.
        const std::string utf8 = marl::GbkToUtf8Lossy(marl::UpToZero(url));
        Check(address->size() <= utf8.size(), "the browser address is never longer", *address, utf8);
    }
    return 0;
}
