#include "text/gbk_codec.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ustring.h>

#include <iterator>
#include <memory>
#include <string>

#include "text/text_ops.h"

namespace marl {
namespace {

constexpr const char kGbkName[] = "windows-936-2000";

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// Every character GBK cannot represent becomes the substitution character. ICU's own substituting
// callback silently drops default-ignorable characters (U+200C, U+202A, U+FEFF, ...) instead, which
// would make them vanish from page text and titles while every other missing character shows as "?".
void SubstituteEveryCharacter(const void*, UConverterFromUnicodeArgs* args, const UChar*, int32_t, UChar32,
                              UConverterCallbackReason reason, UErrorCode* err) {
    if (reason > UCNV_IRREGULAR) return;  // reset, close and clone need nothing
    *err = U_ZERO_ERROR;
    ucnv_cbFromUWriteSub(args, 0, err);
}

// A character GBK lacks becomes its decimal character reference ("&#128512;"), as browsers write
// form data in legacy encodings; U+FFFD, which stands for bytes that were not UTF-8, and anything
// that is not a character (a lone surrogate) become the substitution character.
void ReferenceEveryCharacter(const void*, UConverterFromUnicodeArgs* args, const UChar*, int32_t,
                             UChar32 code_point, UConverterCallbackReason reason, UErrorCode* err) {
    if (reason > UCNV_IRREGULAR) return;
    *err = U_ZERO_ERROR;
    if (reason != UCNV_UNASSIGNED || code_point == 0xFFFD || code_point < 0 || code_point > 0x10FFFF) {
        ucnv_cbFromUWriteSub(args, 0, err);
        return;
    }
    const std::string reference = "&#" + std::to_string(code_point) + ";";
    ucnv_cbFromUWriteBytes(args, reference.data(), static_cast<int32_t>(reference.size()), 0, err);
}

enum class Mode { kStrict, kLossy, kReferences };

// Opening a converter costs more than most conversions, so each thread keeps one per mode.
UConverter* ThreadConverter(Mode mode) {
    thread_local ConverterPtr converters[3];
    ConverterPtr& slot = converters[static_cast<int>(mode)];
    if (!slot) {
        UErrorCode err = U_ZERO_ERROR;
        ConverterPtr conv(ucnv_open(kGbkName, &err));
        if (U_FAILURE(err) || !conv) return nullptr;
        if (mode == Mode::kStrict) {
            ucnv_setToUCallBack(conv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
            ucnv_setFromUCallBack(conv.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
        } else {
            ucnv_setSubstChars(conv.get(), "?", 1, &err);
            ucnv_setFromUCallBack(conv.get(),
                                  mode == Mode::kLossy ? SubstituteEveryCharacter : ReferenceEveryCharacter,
                                  nullptr, nullptr, nullptr, &err);
        }
        if (U_FAILURE(err)) return nullptr;
        slot = std::move(conv);
    }
    ucnv_reset(slot.get());
    return slot.get();
}

Mode ModeFor(bool strict) { return strict ? Mode::kStrict : Mode::kLossy; }

// The UTF-8 side of one-pass conversions; invalid sequences come out as U+FFFD, one for each maximal
// ill-formed subsequence, as u_strFromUTF8WithSub gives them.
UConverter* ThreadUtf8Converter() {
    thread_local ConverterPtr utf8_conv;
    if (!utf8_conv) {
        UErrorCode err = U_ZERO_ERROR;
        ConverterPtr conv(ucnv_open("UTF-8", &err));
        if (U_FAILURE(err) || !conv) return nullptr;
        utf8_conv = std::move(conv);
    }
    ucnv_reset(utf8_conv.get());
    return utf8_conv.get();
}

int32_t Length(size_t n) { return n > static_cast<size_t>(INT32_MAX) ? -1 : static_cast<int32_t>(n); }

std::optional<std::u16string> GbkToU16(std::string_view gbk, bool strict) {
    std::u16string out;
    if (gbk.empty()) return out;
    const int32_t len = Length(gbk.size());
    UConverter* conv = ThreadConverter(ModeFor(strict));
    if (len < 0 || !conv) return std::nullopt;
    out.resize(gbk.size());  // one GBK byte or pair never gives more than one UTF-16 unit per byte
    UErrorCode err = U_ZERO_ERROR;
    int32_t n = ucnv_toUChars(conv, out.data(), len, gbk.data(), len, &err);
    if (err == U_STRING_NOT_TERMINATED_WARNING) err = U_ZERO_ERROR;
    if (U_FAILURE(err)) return std::nullopt;
    out.resize(static_cast<size_t>(n));
    return out;
}

std::optional<Text> U16ToGbk(std::u16string_view u16, bool strict) {
    Text out;
    if (u16.empty()) return out;
    const int32_t len = Length(u16.size());
    UConverter* conv = ThreadConverter(ModeFor(strict));
    if (len < 0 || !conv || u16.size() > (INT32_MAX - 16) / 2) return std::nullopt;
    out.resize(u16.size() * 2 + 16);
    UErrorCode err = U_ZERO_ERROR;
    int32_t n = ucnv_fromUChars(conv, out.data(), Length(out.size()), u16.data(), len, &err);
    if (err == U_STRING_NOT_TERMINATED_WARNING) err = U_ZERO_ERROR;
    if (U_FAILURE(err)) return std::nullopt;
    out.resize(static_cast<size_t>(n));
    return out;
}

std::optional<std::u16string> Utf8ToU16Strict(std::string_view utf8) {
    std::u16string out;
    if (utf8.empty()) return out;
    const int32_t len = Length(utf8.size());
    if (len < 0) return std::nullopt;
    out.resize(utf8.size());  // never more UTF-16 units than UTF-8 bytes
    UErrorCode err = U_ZERO_ERROR;
    int32_t n = 0;
    u_strFromUTF8(out.data(), len, &n, utf8.data(), len, &err);
    if (err == U_STRING_NOT_TERMINATED_WARNING) err = U_ZERO_ERROR;
    if (U_FAILURE(err)) return std::nullopt;
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string U16ToUtf8(std::u16string_view u16) {
    std::string out;
    if (u16.empty()) return out;
    const int32_t len = Length(u16.size());
    if (len < 0 || u16.size() > INT32_MAX / 3) return out;
    out.resize(u16.size() * 3);
    UErrorCode err = U_ZERO_ERROR;
    int32_t n = 0;
    u_strToUTF8WithSub(out.data(), Length(out.size()), &n, u16.data(), len, 0xFFFD, nullptr, &err);
    if (err == U_STRING_NOT_TERMINATED_WARNING) err = U_ZERO_ERROR;
    if (U_FAILURE(err)) return {};
    out.resize(static_cast<size_t>(n));
    return out;
}

}  // namespace

std::optional<Text> Utf8ToGbkStrict(std::string_view utf8) {
    auto u16 = Utf8ToU16Strict(utf8);
    if (!u16) return std::nullopt;
    return U16ToGbk(*u16, true);
}

std::optional<std::string> GbkToUtf8Strict(std::string_view gbk) {
    auto u16 = GbkToU16(gbk, true);
    if (!u16) return std::nullopt;
    return U16ToUtf8(*u16);
}

namespace {

// Straight from UTF-8 into GBK through a small pivot buffer: no UTF-16 copy of the whole text.
// Every UTF-8 sequence, and every invalid byte run, gives at most as many GBK bytes as it has when
// missing characters become "?", so the input's length is room enough; character references are
// longer, and the loop grows the room when they need it.
Text Utf8ToGbkWith(std::string_view utf8, Mode mode) {
    Text out;
    if (utf8.empty()) return out;
    UConverter* gbk = ThreadConverter(mode);
    UConverter* source_conv = ThreadUtf8Converter();
    if (!gbk || !source_conv) return out;
    out.resize(utf8.size() + 16);
    UChar pivot[4096];
    UChar* pivot_source = pivot;
    UChar* pivot_target = pivot;
    const char* source = utf8.data();
    const char* const source_end = utf8.data() + utf8.size();
    size_t written = 0;
    for (bool first = true;; first = false) {
        char* target = out.data() + written;
        UErrorCode err = U_ZERO_ERROR;
        ucnv_convertEx(gbk, source_conv, &target, out.data() + out.size(), &source, source_end, pivot,
                       &pivot_source, &pivot_target, pivot + std::size(pivot), static_cast<UBool>(first),
                       true, &err);
        written = static_cast<size_t>(target - out.data());
        if (err == U_BUFFER_OVERFLOW_ERROR) {
            out.resize(out.size() * 2);
            continue;
        }
        if (U_FAILURE(err)) return {};
        break;
    }
    out.resize(written);
    return out;
}

}  // namespace

Text Utf8ToGbkLossy(std::string_view utf8) { return Utf8ToGbkWith(utf8, Mode::kLossy); }

Text Utf8ToGbkReferences(std::string_view utf8) { return Utf8ToGbkWith(utf8, Mode::kReferences); }

namespace {

bool IsGbkTrail(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE); }

}  // namespace

Text PercentEncodeInvalidGbk(std::string_view gbk) {
    Text out;
    out.reserve(gbk.size());
    for (size_t i = 0; i < gbk.size(); ++i) {
        const auto b = static_cast<unsigned char>(gbk[i]);
        if (b <= 0x80) {  // ASCII, and 0x80 the euro sign
            out.push_back(gbk[i]);
            continue;
        }
        const auto next = i + 1 < gbk.size() ? static_cast<unsigned char>(gbk[i + 1]) : 0;
        if (b == 0xFF || !IsGbkTrail(next)) {
            AppendPercentEncoded(out, b);  // the byte after it, if any, is looked at on its own
            continue;
        }
        // The converter gives every pair of a lead and a trail byte a character (some in the private
        // use area), so a well-formed pair is one.
        out.append(gbk.substr(i, 2));
        ++i;
    }
    return out;
}

std::string GbkToUtf8Lossy(std::string_view gbk) { return U16ToUtf8(GbkToUtf16(gbk)); }

std::u16string GbkToUtf16(std::string_view gbk) { return GbkToU16(gbk, false).value_or(std::u16string()); }

Text Utf16ToGbk(std::u16string_view utf16) { return U16ToGbk(utf16, false).value_or(Text()); }

std::wstring GbkToWide(std::string_view gbk) {
    static_assert(sizeof(wchar_t) == sizeof(UChar32), "wide text is UTF-32 here");
    std::u16string u16 = GbkToUtf16(gbk);
    std::wstring out;
    if (u16.empty()) return out;
    out.resize(u16.size());  // never more code points than UTF-16 units
    UErrorCode err = U_ZERO_ERROR;
    int32_t n = 0;
    u_strToUTF32WithSub(reinterpret_cast<UChar32*>(out.data()), Length(out.size()), &n, u16.data(),
                        Length(u16.size()), 0xFFFD, nullptr, &err);
    if (err == U_STRING_NOT_TERMINATED_WARNING) err = U_ZERO_ERROR;
    if (U_FAILURE(err)) return {};
    out.resize(static_cast<size_t>(n));
    return out;
}

Text WideToGbk(std::wstring_view wide) {
    if (wide.empty()) return {};
    if (wide.size() > INT32_MAX / 2) return {};
    std::u16string u16(wide.size() * 2, u'\0');
    UErrorCode err = U_ZERO_ERROR;
    int32_t n = 0;
    u_strFromUTF32WithSub(u16.data(), Length(u16.size()), &n, reinterpret_cast<const UChar32*>(wide.data()),
                          Length(wide.size()), 0xFFFD, nullptr, &err);
    if (err == U_STRING_NOT_TERMINATED_WARNING) err = U_ZERO_ERROR;
    if (U_FAILURE(err)) return {};
    u16.resize(static_cast<size_t>(n));
    return Utf16ToGbk(u16);
}

Text Gbk(std::string_view utf8_literal) { return Utf8ToGbkLossy(utf8_literal); }

}  // namespace marl
