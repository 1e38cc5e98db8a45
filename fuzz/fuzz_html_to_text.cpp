// A link's anchor HTML (GBK, any bytes a page holds) to its title text.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_input.h"
#include "html/html_to_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using marl::fuzz::Check;
    const std::string fragment(reinterpret_cast<const char*>(data), size);
    const std::string title = marl::HtmlToText(fragment);
    Check(!title.starts_with("\r\n") && !title.ends_with("\r\n"),
          "a title never begins or ends with a line break", title);
    // The same fragment always gives the same title (the parser leaves fields unset unless told).
    Check(marl::HtmlToText(fragment) == title, "the same fragment gives the same title", title);
    return 0;
}
