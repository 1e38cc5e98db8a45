// The request header helpers over any header block a plan holds (input: header text, then the
// address for the Referer line, separated by a zero byte; the first byte of the address picks POST).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "text/text_ops.h"
#include "web/http_headers.h"
#include "web/http_request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using marl::fuzz::Check;
    const auto fields = marl::fuzz::Fields(data, size, 2);
    const std::string& header_text = fields[0];
    const std::string& url = fields[1];
    const marl::HttpMethod method =
        !url.empty() && (url[0] & 1) ? marl::HttpMethod::kPost : marl::HttpMethod::kGet;

    const std::string normalized = marl::NormalizeHeaderNames(header_text);
    Check(normalized.size() <= header_text.size(), "normalizing never adds text", normalized, header_text);
    Check(!normalized.ends_with("\r\n"), "the normalized text has no trailing CR LF", normalized);
    Check(marl::NormalizeHeaderNames(normalized) == normalized, "normalizing twice changes nothing",
          normalized);
    for (size_t start = 0; !normalized.empty();) {
        const size_t end = normalized.find("\r\n", start);
        const std::string_view line = std::string_view(normalized).substr(start, end - start);
        Check(line.find(':') != std::string_view::npos, "every normalized line has a colon", line);
        if (end == std::string::npos) break;
        start = end + 2;
    }

    const std::string agent = marl::PickAgent(normalized);
    if (!marl::ContainsNoCase(normalized, "User-Agent:"))
        Check(agent == marl::kDefaultAgent, "no User-Agent line gives the default agent", agent);

    const std::string completed = marl::CompleteHeaders(normalized, url, method);
    if (!normalized.empty())
        Check(completed.starts_with(normalized), "completing only appends", completed, normalized);
    for (const char* name : {"Accept:", "Referer:", "Accept-Language:"})
        Check(marl::ContainsNoCase(completed, name), "completed headers name every default", completed, name);
    if (method == marl::HttpMethod::kPost)
        Check(marl::ContainsNoCase(completed, "Content-Type:"), "a POST gets a Content-Type", completed);
    Check(marl::CompleteHeaders(completed, url, method) == completed, "completing twice changes nothing",
          completed);

    const marl::RequestHeaderLines lines = marl::ToRequestHeaderLines(completed, method);
    Check(!lines.lines.empty() && lines.lines.back() == "Expect:", "the entries end with Expect:");
    for (const std::string& line : lines.lines) {
        Check(!line.empty(), "no empty entry goes to the library");
        Check(line.find_first_of("\r\n") == std::string::npos, "no entry holds a CR or LF", line);
    }
    return 0;
}
