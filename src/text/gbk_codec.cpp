#include "text/gbk_codec.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <memory>

namespace marl {
namespace {

constexpr const char kGbkName[] = "windows-936-2000";

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// Opening a converter costs more than most conversions, so each thread keeps one per mode.
UConverter* ThreadConverter(bool strict) {
    thread_local ConverterPtr strict_conv;
    thread_local ConverterPtr lossy_conv;
    ConverterPtr& slot = strict ? strict_conv : lossy_conv;
    if (!slot) {
        UErrorCode err = U_ZERO_ERROR;
        ConverterPtr conv(ucnv_open(kGbkName, &err));
        if (U_FAILURE(err) || !conv) return nullptr;
        if (strict) {
            ucnv_setToUCallBack(conv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
            ucnv_setFromUCallBack(conv.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
        } else {
            ucnv_setSubstChars(conv.get(), "?", 1, &err);
        }
        if (U_FAILURE(err)) return nullptr;
        slot = std::move(conv);
    }
    ucnv_reset(slot.get());
    return slot.get();
}

int32_t Length(size_t n) { return n > static_cast<size_t>(INT32_MAX) ? -1 : static_cast<int32_t>(n); }

std::optional<std::u16string> GbkToU16(std::string_view gbk, bool strict) {
    std::u16string out;
    if (gbk.empty()) return out;
    const int32_t len = Length(gbk.size());
    UConverter* conv = ThreadConverter(strict);
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
    UConverter* conv = ThreadConverter(strict);
    if (len < 0 || !conv || u16.size() > (INT32_MAX - 16) / 2) return std::nullopt;
    out.resize(u16.size() * 2 + 16);
    UErrorCode err = U_ZERO_ERROR;
    int32_t n = ucnv_fromUChars(conv, out.data(), Length(out.size()), u16.data(), len, &err);
    if (err == U_STRING_NOT_TERMINATED_WARNING) err = U_ZERO_ERROR;
    if (U_FAILURE(err)) return std::nullopt;
    out.resize(static_cast<size_t>(n));
    return out;
}

std::optional<std::u16string> Utf8ToU16(std::string_view utf8, bool strict) {
    std::u16string out;
    if (utf8.empty()) return out;
    const int32_t len = Length(utf8.size());
    if (len < 0) return std::nullopt;
    out.resize(utf8.size());  // never more UTF-16 units than UTF-8 bytes
    UErrorCode err = U_ZERO_ERROR;
    int32_t n = 0;
    if (strict) {
        u_strFromUTF8(out.data(), len, &n, utf8.data(), len, &err);
    } else {
        u_strFromUTF8WithSub(out.data(), len, &n, utf8.data(), len, 0xFFFD, nullptr, &err);
    }
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
    auto u16 = Utf8ToU16(utf8, true);
    if (!u16) return std::nullopt;
    return U16ToGbk(*u16, true);
}

std::optional<std::string> GbkToUtf8Strict(std::string_view gbk) {
    auto u16 = GbkToU16(gbk, true);
    if (!u16) return std::nullopt;
    return U16ToUtf8(*u16);
}

Text Utf8ToGbkLossy(std::string_view utf8) {
    auto u16 = Utf8ToU16(utf8, false);
    if (!u16) return {};
    return U16ToGbk(*u16, false).value_or(Text());
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
