#include "web/article_address.h"

#include <string_view>
#include <vector>

namespace marl {
namespace {

bool IsSchemeCharacter(char c, bool first) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (first) return letter;
    return letter || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// True when the text starts with a scheme and its ":" ("http:", "javascript:").
bool HasScheme(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ':') return i > 0;
        if (!IsSchemeCharacter(text[i], i == 0)) return false;
    }
    return false;
}

// The path with its "." and ".." segments worked out, as a browser does before requesting it.
Text WithoutDotSegments(std::string_view path) {
    std::vector<std::string_view> kept;
    size_t start = 1;  // the path starts with "/"
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view segment = path.substr(start, end - start);
        const bool last = end == path.size();
        if (segment == "..") {
            if (!kept.empty()) kept.pop_back();
            if (last) kept.emplace_back();  // "a/.." names the folder: keep its "/"
        } else if (segment == ".") {
            if (last) kept.emplace_back();
        } else {
            kept.push_back(segment);
        }
        start = end + 1;
    }
    Text out;
    for (const std::string_view segment : kept) {
        out += '/';
        out += segment;
    }
    return out.empty() ? "/" : out;
}

}  // namespace

Text ResolveArticleAddress(const Text& stored, const Text& list_url) {
    if (stored.empty() || HasScheme(stored) || list_url.empty()) return stored;

    // The list page is fetched as an http address when it names no scheme, so links on it resolve so.
    const Text base = list_url.find("://") == Text::npos ? "http://" + list_url : list_url;
    const size_t scheme_end = base.find("://");
    const Text scheme = base.substr(0, scheme_end);
    const size_t authority_start = scheme_end + 3;
    size_t path_start = base.find_first_of("/?#", authority_start);
    if (path_start == Text::npos) path_start = base.size();
    const Text origin = base.substr(0, path_start);
    size_t query_start = base.find_first_of("?#", path_start);
    if (query_start == Text::npos) query_start = base.size();
    Text base_path = base.substr(path_start, query_start - path_start);
    if (base_path.empty()) base_path = "/";

    if (stored.starts_with("//")) return scheme + ":" + stored;
    if (stored.starts_with('#')) {
        const size_t fragment = base.find('#', authority_start);
        return base.substr(0, fragment) + stored;
    }
    if (stored.starts_with('?')) return origin + base_path + stored;

    // A path from the root, or one relative to the list page's folder; its query stays as written.
    size_t rest = stored.find_first_of("?#");
    if (rest == Text::npos) rest = stored.size();
    const Text link_path = stored.substr(0, rest);
    const Text path =
        stored.starts_with('/') ? link_path : base_path.substr(0, base_path.rfind('/') + 1) + link_path;
    return origin + WithoutDotSegments(path) + stored.substr(rest);
}

}  // namespace marl
