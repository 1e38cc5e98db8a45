#include "plans/suggest_addresses.h"

#include "text/text_ops.h"

namespace marl {

Text AddressShape(std::string_view link) {
    // The host is left out: one site's sections often live on hosts of their own.
    const size_t scheme = link.find("//");
    if (scheme < 8) {  // "http://", "https://" or "//"; npos is never below 8
        const size_t path = link.find('/', scheme + 2);
        link = path == std::string_view::npos ? std::string_view() : link.substr(path);
    }
    const size_t query = link.find('?');
    const std::string_view path = link.substr(0, query);
    const size_t slash = path.rfind('/');
    const std::string_view folder =
        slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
    const std::string_view last = slash == std::string_view::npos ? path : path.substr(slash + 1);
    Text shape;
    bool digits = false;
    for (const char c : folder) {
        const bool digit = c >= '0' && c <= '9';
        if (!digit)
            shape += c;
        else if (!digits)
            shape += '9';
        digits = digit;
    }
    const size_t dot = last.rfind('.');
    shape += '/';
    if (dot != std::string_view::npos) shape += last.substr(dot);
    if (query != std::string_view::npos) {
        const std::string_view q = link.substr(query);
        for (const char c : q) {
            if (c < '0' || c > '9') shape += c;
        }
    }
    return shape;
}

std::string_view HostOf(std::string_view link) {
    const size_t scheme = link.find("//");
    if (scheme >= 8) return {};  // npos too
    const size_t from = scheme + 2;
    const size_t end = link.find_first_of("/?#:", from);
    return link.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from);
}

std::string_view SiteOf(std::string_view link) {
    const std::string_view host = HostOf(link);
    const size_t last = host.rfind('.');
    if (last == std::string_view::npos || last == 0) return host;
    const size_t dot = host.rfind('.', last - 1);
    if (dot == std::string_view::npos) return host;
    const std::string_view second = host.substr(dot + 1, last - dot - 1);
    const bool country = host.size() - last == 3;
    if (country && dot > 0 &&
        (second == "com" || second == "net" || second == "org" || second == "gov" || second == "edu" ||
         second == "co" || second == "ac")) {
        const size_t third = host.rfind('.', dot - 1);
        return third == std::string_view::npos ? host : host.substr(third + 1);
    }
    return host.substr(dot + 1);
}

bool SameSite(std::string_view site, std::string_view page_site) {
    return site.empty() || page_site.empty() || EqualsNoCase(site, page_site);
}

}  // namespace marl
