// Large anchor HTML goes through our own tokenizer and flattening before the HTML parser sees it. The
// tokenizer must hand out views that lie inside the text it reads, and neither may crash, leak or
// take long. With MARL_FUZZ_FLAT_DIFF set in the environment, the flattened markup must also render
// to the title the parser gives for the fragment itself. That comparison is for longer local runs,
// not for CI: the flattening approximates the parser's tree on broken markup (it may differ in a
// blank line, or in what the gaps below cover), so a short random run can find a new difference
// at any time, and each is a case to study rather than a fault.
//
// The flattening leaves out two things a browser does, which ordinary anchor texts never need: text
// standing directly in a table is not moved before it, and a block moved out of a misnested
// formatting element does not reveal text of a hidden element. Nor does it know the HTML islands
// inside SVG and MathML (title, desc, foreignObject, mi, ...), so an end tag that the parser ignores
// there may end the SVG early. The parser also keeps text after an ignored end tag out of an open
// rp or rt element, where the flattening leaves it inside (and so hidden). Fragments that could reach
// one of these (any "table", "hidden", "display", "svg", "math", "<rp" or "<rt" in them) are only
// checked for crashes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "html/flat_markup.h"
#include "html/html_to_text.h"
#include "html/html_tokenizer.h"
#include "text/gbk_codec.h"
#include "text/text_ops.h"

namespace {

void CheckTokens(std::string_view html) {
    marl::HtmlTokenizer tokenizer(html);
    for (size_t count = 0;; ++count) {
        const marl::HtmlToken token = tokenizer.Next();
        if (token.type == marl::HtmlToken::Type::kEnd) break;
        marl::fuzz::Check(count <= html.size(), "the tokenizer ends", html);
        for (const std::string_view view : {token.text, token.style}) {
            if (view.empty()) continue;
            marl::fuzz::Check(
                view.data() >= html.data() && view.data() + view.size() <= html.data() + html.size(),
                "token views lie inside the text", view);
        }
        for (const char c : token.name)
            marl::fuzz::Check(!(c >= 'A' && c <= 'Z'), "tag names are lower case", token.name);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool compare_titles = std::getenv("MARL_FUZZ_FLAT_DIFF") != nullptr;
    const std::string raw(reinterpret_cast<const char*>(data), size);
    CheckTokens(raw);
    CheckTokens(marl::FlattenMarkup(raw));
    if (!compare_titles || marl::ContainsNoCase(raw, "table") || marl::ContainsNoCase(raw, "hidden") ||
        marl::ContainsNoCase(raw, "display") || marl::ContainsNoCase(raw, "svg") ||
        marl::ContainsNoCase(raw, "math") || marl::ContainsNoCase(raw, "<rp") ||
        marl::ContainsNoCase(raw, "<rt")) {
        return 0;
    }
    // HtmlToText takes GBK and flattens the UTF-8 it makes of it, so the flattening never sees a byte
    // that is not UTF-8: compare on that text. It is below the size where HtmlToText flattens it
    // itself.
    const std::string gbk = marl::Utf8ToGbkLossy(raw);
    const std::string flat = marl::FlattenMarkup(marl::GbkToUtf8Lossy(gbk));
    const std::string direct = marl::HtmlToText(gbk);
    const std::string flattened = marl::HtmlToText(marl::Utf8ToGbkLossy(flat));
    if (direct != flattened) {
        std::fprintf(stderr, "flat markup: \"%s\"\n", marl::fuzz::Printable(flat).c_str());
        marl::fuzz::Fail("the flattened markup renders another title", flattened, direct);
    }
    return 0;
}
