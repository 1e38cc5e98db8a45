#pragma once
#include <string_view>
#include <vector>

#include "text/text.h"
#include "web/http_request.h"

namespace marl {

// The completed header text as entries for the HTTP client library (libcurl), which treats some
// entries specially: "name:" with a blank value removes a header instead of sending it, and the
// library adds Accept, Content-Type and Expect of its own unless an entry names them.
struct RequestHeaderLines {
    std::vector<Text> lines;         // in the order of the header text, then the suppressing entries
    bool asks_for_encoding = false;  // an Accept-Encoding line is present: the body must be decoded
};

// Splits at CR LF; a CR or LF left inside a line becomes a space; a line with a blank value becomes
// "name;" (sent as "name:"); when no line is named Accept (or, for POST, Content-Type) a blank entry
// keeps the library from adding its own; "Expect:" keeps it from waiting for "100 Continue".
RequestHeaderLines ToRequestHeaderLines(std::string_view completed_header_text, HttpMethod method);

}  // namespace marl
