#pragma once
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "text/text.h"

namespace marl {

enum class HttpMethod { kGet, kPost };

// Bounds on one exchange. A request that exceeds one of them ends there and returns what arrived.
struct HttpLimits {
    std::chrono::milliseconds connect{30000};  // name lookup and connection, per attempt
    std::chrono::milliseconds stall{60000};    // nothing at all arriving for this long
    std::chrono::milliseconds total{300000};   // the whole exchange, redirects included
    size_t max_body = 64u << 20;               // body bytes kept; the rest is not read
};

// The agent used when the header text names none.
inline constexpr char kDefaultAgent[] = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// Header text is lines "name:value" joined by CR LF. Drops lines without a colon and capitalises the
// first letter of every "-"-separated word of each name ("user-agent" -> "User-Agent"); nothing else
// changes. The result has no trailing CR LF.
Text NormalizeHeaderNames(std::string_view header_text);

// The agent string for a normalized header text: the trimmed value of its "User-Agent:" line, or, when
// that is empty or written in another letter case, the trimmed text after the first colon of the whole
// text; the default agent when no "User-Agent:" appears at all.
Text PickAgent(std::string_view normalized_header_text);

// Appends the default lines that are missing (Accept, Referer with the URL as given, Accept-Language,
// and for POST Content-Type). "Missing" is a case-blind substring test over the whole text. Control
// bytes of the URL (CR and LF above all, which would start a header of their own) go into the Referer
// percent-encoded, as the request line has them.
Text CompleteHeaders(std::string_view header_text, std::string_view url, HttpMethod method);

// What one exchange brought: the body and the status code of the last response (after redirects),
// 0 when no response arrived at all.
struct HttpResponse {
    std::string body;
    int status = 0;
};

// One HTTP/1.1 exchange; returns the response body with any transfer coding removed. Goes straight to
// the site (proxy settings ignored), follows redirects between http and https, accepts any certificate,
// keeps cookies in one store shared by the whole process, opens a fresh connection every time. Failures
// are not reported: the body is empty or as long as it got. The body of an error page (404, 500) is a
// page like any other. Safe to call from several threads at once.
std::string SendRequest(const Text& url, HttpMethod method, const Text& body, const Text& header_text,
                        const HttpLimits& limits = {});
// The same exchange, with the status code for callers that tell the user about it (the plan tester).
HttpResponse SendRequestWithStatus(const Text& url, HttpMethod method, const Text& body,
                                   const Text& header_text, const HttpLimits& limits = {});

}  // namespace marl
