#include "web/url_split.h"

#include "text/text_ops.h"

namespace marl {

Text UrlHost(std::string_view url, bool keep_port) {
    Text u = AsciiLower(url);
    if (u.empty() || u.back() != '/') u.push_back('/');

    static constexpr std::string_view kHttps = "https://";
    static constexpr std::string_view kHttp = "http://";
    size_t start = 0;
    if (u.starts_with(kHttps)) {
        start = kHttps.size();
    } else {
        size_t marker = u.find(kHttp);
        if (marker == Text::npos) {
            u.insert(0, kHttp);
            marker = 0;
        }
        start = marker + kHttp.size();
    }
    // The appended "/" guarantees an end.
    const size_t end = u.find('/', start);
    Text host = u.substr(start, end - start);
    if (!keep_port) {
        const size_t colon = host.find(':');
        if (colon != Text::npos) host.resize(colon);
    }
    return host;
}

int32_t UrlPort(std::string_view url) {
    const Text host = UrlHost(url, true);
    const size_t colon = host.rfind(':');
    if (colon != Text::npos) return TextToInt(std::string_view(host).substr(colon + 1));
    return StartsWithNoCase(url, "https") ? 443 : 80;
}

Text UrlPath(std::string_view url) {
    const Text host = UrlHost(url, false);
    // The host is looked for from the start of the address, but never inside a leading scheme marker:
    // a host such as "t" or "tp" would otherwise be found in "http://" and the path would begin there.
    size_t from = 0;
    if (StartsWithNoCase(url, "https://")) {
        from = 8;
    } else if (StartsWithNoCase(url, "http://")) {
        from = 7;
    }
    const size_t at = FindNoCase(url, host, from);
    if (at == kNotFound) return "/";
    const size_t slash = url.find('/', at);
    if (slash == std::string_view::npos) return "/";
    return Text(url.substr(slash));
}

}  // namespace marl
