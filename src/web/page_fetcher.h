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

// A received body as FetchPage hands it on: decoded by the encoding, then cleaned by CleanPageText.
// Empty when it cannot be held. For callers that need the body decoded more than one way.
Text PageTextOf(std::string body, bool is_gbk);

// The page as the searches see it, one line: runs of two or more white-space characters and single tabs
// become one space; "&lt;" and "&gt;" (any case), "&quot;" and "&#37;" are decoded; single quotes, CR and
// LF are removed. Each step runs over the whole text in that order and never rescans what it inserted.
Text CleanPageText(std::string_view text);

}  // namespace marl
