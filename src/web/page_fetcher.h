#pragma once
#include <string>
#include <string_view>

#include "text/text.h"
#include "web/http_request.h"

namespace marl {

// Fetches a list page and returns it decoded (GBK bytes taken as they are, otherwise UTF-8 converted)
// and cleaned by CleanPageText. Empty when nothing arrived; that is the only failure signal.
Text FetchPage(const Text& url, HttpMethod method, const Text& post, const Text& header_text, bool is_gbk,
               const HttpLimits& limits = {});

// FetchPage in two steps, for a caller that decides the encoding from the page itself or reports the
// status code: the response as it arrived (SendRequestWithStatus), then PageText on its body.
// PageText(body, is_gbk) is exactly what FetchPage returns for that body; the body is consumed.
Text PageText(std::string&& body, bool is_gbk);

// The page as the searches see it, one line: runs of two or more white-space characters and single tabs
// become one space; "&lt;" and "&gt;" (any case), "&quot;" and "&#37;" are decoded; single quotes, CR and
// LF are removed. Each step runs over the whole text in that order and never rescans what it inserted.
Text CleanPageText(std::string_view text);

}  // namespace marl
