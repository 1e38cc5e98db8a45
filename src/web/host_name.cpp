#include "web/host_name.h"

#include <unicode/uidna.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "text/gbk_codec.h"

namespace marl {
namespace {

struct IdnaCloser {
    void operator()(UIDNA* idna) const { uidna_close(idna); }
};

// Nontransitional processing with the bidirectional and joiner checks, as browsers resolve names.
// The object is immutable once made and safe to share between threads.
const UIDNA* Idna() {
    static const std::unique_ptr<UIDNA, IdnaCloser> idna = [] {
        UErrorCode err = U_ZERO_ERROR;
        UIDNA* made =
            uidna_openUTS46(UIDNA_NONTRANSITIONAL_TO_ASCII | UIDNA_CHECK_BIDI | UIDNA_CHECK_CONTEXTJ, &err);
        if (U_FAILURE(err)) made = nullptr;
        return std::unique_ptr<UIDNA, IdnaCloser>(made);
    }();
    return idna.get();
}

// Rules that browsers do not enforce when they look a name up: label and name lengths (the lookup
// itself fails when they matter) and hyphen positions.
constexpr uint32_t kTolerated = UIDNA_ERROR_EMPTY_LABEL | UIDNA_ERROR_LABEL_TOO_LONG |
                                UIDNA_ERROR_DOMAIN_NAME_TOO_LONG | UIDNA_ERROR_LEADING_HYPHEN |
                                UIDNA_ERROR_TRAILING_HYPHEN | UIDNA_ERROR_HYPHEN_3_4;

std::optional<std::string> ToAscii(const std::string& utf8) {
    const UIDNA* idna = Idna();
    if (idna == nullptr || utf8.size() > 4096) return std::nullopt;
    std::string out(utf8.size() * 4 + 64, '\0');  // a label grows at most fourfold as punycode
    UIDNAInfo info = UIDNA_INFO_INITIALIZER;
    UErrorCode err = U_ZERO_ERROR;
    const int32_t n = uidna_nameToASCII_UTF8(idna, utf8.data(), static_cast<int32_t>(utf8.size()), out.data(),
                                             static_cast<int32_t>(out.size()), &info, &err);
    if (U_FAILURE(err) || (info.errors & ~kTolerated) != 0) return std::nullopt;
    out.resize(static_cast<size_t>(n));
    return out;
}

// What may stand in the host of the address handed to the HTTP library: anything else ("?", "@", a
// blank, a colon) would change what the address means.
bool IsPlainHost(std::string_view host) {
    return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
    });
}

}  // namespace

Text ConnectionHost(std::string_view host) {
    const bool ascii =
        std::all_of(host.begin(), host.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) return IsPlainHost(host) ? Text(host) : Text();
    const std::optional<std::string> utf8 = GbkToUtf8Strict(host);
    if (!utf8) return {};
    const std::optional<std::string> converted = ToAscii(*utf8);
    if (!converted || !IsPlainHost(*converted)) return {};
    return *converted;
}

}  // namespace marl
