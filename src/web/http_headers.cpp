#include "web/http_headers.h"

#include <algorithm>
#include <utility>

#include "text/text_ops.h"

namespace marl {
namespace {

constexpr std::string_view kCrLf = "\r\n";

// Calls `line` for every CR LF separated piece of `text`, empty pieces included.
template <typename Fn>
void ForEachLine(std::string_view text, Fn&& line) {
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(kCrLf, start);
        if (end == std::string_view::npos) {
            line(text.substr(start));
            return;
        }
        line(text.substr(start, end - start));
        start = end + kCrLf.size();
    }
}

bool IsBlank(std::string_view text) {
    for (const char c : text) {
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\f' && c != '\v') return false;
    }
    return true;
}

// An address as a header value: a line break in it would end the header and start another, so CR, LF
// and the other control bytes go percent-encoded, as they go in the request line.
Text AddressAsHeaderValue(std::string_view address) {
    Text out;
    out.reserve(address.size());
    for (const char c : address) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            AppendPercentEncoded(out, b);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace

Text NormalizeHeaderNames(std::string_view header_text) {
    Text out;
    out.reserve(header_text.size());
    ForEachLine(header_text, [&out](std::string_view line) {
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos) return;
        if (!out.empty()) out.append(kCrLf);
        const size_t first = out.size();
        out.append(line);
        // A word starts at the line start or after "-"; neither can be inside a GBK pair.
        for (size_t i = first; i < first + colon; ++i) {
            const bool word_start = i == first || out[i - 1] == '-';
            if (word_start && out[i] >= 'a' && out[i] <= 'z') out[i] = static_cast<char>(out[i] - 'a' + 'A');
        }
    });
    return out;
}

Text PickAgent(std::string_view normalized_header_text) {
    static constexpr std::string_view kName = "User-Agent:";
    if (!ContainsNoCase(normalized_header_text, kName)) return kDefaultAgent;
    Text agent;
    const size_t at = normalized_header_text.find(kName);
    if (at != std::string_view::npos) {
        const size_t start = at + kName.size();
        size_t end = normalized_header_text.find(kCrLf, start);
        if (end == std::string_view::npos) end = normalized_header_text.size();
        agent = Trim(normalized_header_text.substr(start, end - start));
    }
    if (agent.empty()) {
        const size_t colon = normalized_header_text.find(':');
        agent = Trim(normalized_header_text.substr(colon + 1));
    }
    return agent;
}

Text CompleteHeaders(std::string_view header_text, std::string_view url, HttpMethod method) {
    Text text(header_text);
    if (text.empty()) text = "Accept: */*";
    auto add_if_missing = [&text](std::string_view name, std::string_view value) {
        if (ContainsNoCase(text, name)) return;
        text.append(kCrLf).append(name).append(" ").append(value);
    };
    add_if_missing("Accept:", "*/*");
    add_if_missing("Referer:", AddressAsHeaderValue(url));
    add_if_missing("Accept-Language:", "zh-cn");
    if (method == HttpMethod::kPost) add_if_missing("Content-Type:", "application/x-www-form-urlencoded");
    return text;
}

RequestHeaderLines ToRequestHeaderLines(std::string_view completed_header_text, HttpMethod method) {
    RequestHeaderLines result;
    bool has_accept = false;
    bool has_content_type = false;
    ForEachLine(completed_header_text, [&](std::string_view line) {
        if (line.empty()) return;
        Text entry;
        const size_t colon = line.find(':');
        if (colon != std::string_view::npos) {
            const std::string_view name = line.substr(0, colon);
            has_accept = has_accept || EqualsNoCase(name, "Accept");
            has_content_type = has_content_type || EqualsNoCase(name, "Content-Type");
            result.asks_for_encoding = result.asks_for_encoding || EqualsNoCase(name, "Accept-Encoding");
            // The client library drops a header whose value is blank; written "name;" it sends
            // "name:" with nothing after it, as the plan asked.
            if (IsBlank(line.substr(colon + 1))) {
                entry = Text(name) + ";";
            }
        }
        if (entry.empty()) entry = line;
        // A lone CR or LF would still end the line for many servers, and what follows would arrive as
        // a header of its own: inside a line it is sent as a space.
        std::replace_if(
            entry.begin(), entry.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
        result.lines.push_back(std::move(entry));
    });
    // A blank entry keeps the library from adding a header of its own that the site would not
    // otherwise get.
    if (!has_accept) result.lines.emplace_back("Accept:");
    if (method == HttpMethod::kPost && !has_content_type) result.lines.emplace_back("Content-Type:");
    result.lines.emplace_back("Expect:");
    return result;
}

}  // namespace marl
