#include "web/page_decoding.h"

#include <new>

#include "text/gbk_codec.h"
#include "text/text_ops.h"

namespace marl {

Text BytesAsText(std::string_view bytes) { return Text(UpToZero(bytes)); }

Text Utf8ToGbk(std::string_view bytes) {
    // A zero byte is never part of a longer UTF-8 sequence, so cutting first gives the same text as
    // converting everything and cutting afterwards.
    try {
        return Utf8ToGbkReferences(UpToZero(bytes));
    } catch (const std::bad_alloc&) {
        return {};  // a page too large to convert counts as nothing received
    }
}

PageEncoding DetectPageEncoding(std::string_view page_text) {
    const size_t word = page_text.find("charset");
    if (word == std::string_view::npos) return PageEncoding::kGbk;
    const size_t after = word + 7;
    const size_t close = page_text.find('>', after);
    if (close == std::string_view::npos) return PageEncoding::kGbk;
    return ContainsNoCase(page_text.substr(after, close - after), "utf") ? PageEncoding::kUtf8
                                                                         : PageEncoding::kGbk;
}

}  // namespace marl
