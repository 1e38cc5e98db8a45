// The page decoders and the GBK codec under them: any bytes a server sends, in either direction,
// with the documented relations between the strict, lossy and zero-cutting forms.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "text/gbk_codec.h"
#include "text/text_ops.h"
#include "web/page_decoding.h"

namespace {

// The declaration rule written out: "charset" (that case), then up to the next ">", must hold "utf".
marl::PageEncoding ReferenceEncoding(std::string_view page) {
    const size_t word = page.find("charset");
    if (word == std::string_view::npos) return marl::PageEncoding::kGbk;
    const size_t close = page.find('>', word);
    if (close == std::string_view::npos) return marl::PageEncoding::kGbk;
    return marl::ContainsNoCase(page.substr(word, close - word), "utf") ? marl::PageEncoding::kUtf8
                                                                        : marl::PageEncoding::kGbk;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using marl::fuzz::Check;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const std::string as_text = marl::BytesAsText(bytes);
    Check(as_text == marl::UpToZero(bytes), "BytesAsText keeps the bytes up to the first zero", as_text);

    // Cutting at the first zero byte first must give what converting everything and cutting gives.
    const std::string from_utf8 = marl::Utf8ToGbk(bytes);
    const std::string cut_after(marl::UpToZero(marl::Utf8ToGbkReferences(bytes)));
    Check(from_utf8 == cut_after, "Utf8ToGbk differs from converting, then cutting", from_utf8, cut_after);

    // Character references take the places where the lossy conversion puts "?", so where it put none
    // the two agree; either way the result is valid GBK.
    const std::string references = marl::Utf8ToGbkReferences(bytes);
    const std::string lossy = marl::Utf8ToGbkLossy(bytes);
    if (std::count(lossy.begin(), lossy.end(), '?') == std::count(bytes.begin(), bytes.end(), '?'))
        Check(references == lossy, "references and \"?\" agree where nothing is missing", references, lossy);
    Check(marl::GbkToUtf8Strict(references).has_value(), "the references form is valid GBK", references);

    // Percent-encoding what is no GBK character gives valid GBK and leaves valid GBK as it is.
    const std::string encoded = marl::PercentEncodeInvalidGbk(bytes);
    Check(marl::GbkToUtf8Strict(encoded).has_value(), "percent-encoded bytes are valid GBK", encoded);
    if (bytes.find('\xFF') == std::string_view::npos && marl::GbkToUtf8Strict(bytes))
        Check(encoded == bytes, "valid GBK is left as it is", encoded);

    Check(marl::DetectPageEncoding(bytes) == ReferenceEncoding(bytes), "DetectPageEncoding", bytes);

    // A strict conversion that succeeds agrees with the lossy one, and GBK text read as UTF-8 comes
    // back as the same GBK bytes (the settings file stores GBK text that way).
    if (const auto gbk = marl::Utf8ToGbkStrict(bytes)) {
        const auto back = marl::GbkToUtf8Strict(*gbk);
        Check(back.has_value(), "GBK made by the strict conversion is valid GBK", *gbk);
        Check(marl::Utf8ToGbkStrict(*back) == gbk, "strict UTF-8 -> GBK -> UTF-8 -> GBK is stable", *gbk);
    }
    if (const auto utf8 = marl::GbkToUtf8Strict(bytes)) {
        Check(*utf8 == marl::GbkToUtf8Lossy(bytes), "strict and lossy GBK -> UTF-8 agree on valid GBK", *utf8,
              marl::GbkToUtf8Lossy(bytes));
        const auto gbk = marl::Utf8ToGbkStrict(*utf8);
        Check(gbk.has_value() && *gbk == bytes, "valid GBK survives the trip through UTF-8",
              gbk.value_or("(nothing)"), bytes);
    }

    // The widget and expression forms round-trip whatever GBK the lossy decoder accepts.
    const std::u16string utf16 = marl::GbkToUtf16(bytes);
    const std::wstring wide = marl::GbkToWide(bytes);
    Check(marl::Utf16ToGbk(utf16) == marl::WideToGbk(wide), "UTF-16 and wide forms give the same GBK");
    return 0;
}
