#include "text/regex_facade.h"

#include <boost/regex.hpp>

#include <climits>
#include <locale>
#include <optional>
#include <string_view>

#include "text/gbk_codec.h"
#include "text/text_ops.h"

namespace marl {
namespace {

// Boost.Regex speaks a Perl dialect. The patterns we get are written for the script engines, so a
// few constructs are rewritten before Boost sees them:
//  - "." must refuse LF only (Boost also refuses CR, FF, U+0085, U+2028);
//  - "^" and "$" break lines at CR and LF only, and without multiline they mean the very start and
//    end (Perl's "$" also matches before a final LF);
//  - escapes Boost reads differently: \u, \x without two hex digits, \v (a class in Boost), \c
//    without a letter, and letters with no escape meaning ("\e", "\k", "\z") or punctuation ("\<",
//    "\'") that stand for themselves;
//  - "[]" matches nothing and "[^]" anything; "[" inside a class is a plain character (Boost
//    would read "[[:alpha:]]" as a named class);
//  - "{" that does not start a valid repeat count is a plain character;
//  - a quantifier after a quantifier ("c++", which Boost takes as possessive) or after nothing is
//    an error, as are group kinds other than (?: (?= (?! (?<= (?<!.
class PatternTranslator {
public:
    PatternTranslator(std::wstring_view pattern, bool multiline) : p_(pattern), multiline_(multiline) {}

    std::optional<std::wstring> Run() {
        while (i_ < p_.size()) {
            if (!(in_class_ ? ClassStep() : Step())) return std::nullopt;
        }
        return out_;
    }

private:
    // What the last token was, for checking where a quantifier may stand.
    enum class Prev { kNothing, kAtom, kQuantifier, kLazy };

    bool Step() {
        const wchar_t c = p_[i_];
        switch (c) {
            case L'\\':
                return Escape();
            case L'[':
                return OpenClass();
            case L'.':
                out_ += L"[^\\n]";
                ++i_;
                prev_ = Prev::kAtom;
                return true;
            case L'^':
                out_ += multiline_ ? L"(?<![^\\n\\r])" : L"\\A";
                ++i_;
                prev_ = Prev::kNothing;
                return true;
            case L'$':
                out_ += multiline_ ? L"(?![^\\n\\r])" : L"\\z";
                ++i_;
                prev_ = Prev::kNothing;
                return true;
            case L'(':
                return OpenGroup();
            case L'|':
                out_ += c;
                ++i_;
                prev_ = Prev::kNothing;
                return true;
            case L'*':
            case L'+':
                if (prev_ != Prev::kAtom) return false;
                out_ += c;
                ++i_;
                prev_ = Prev::kQuantifier;
                return true;
            case L'?':
                if (prev_ == Prev::kAtom) {
                    prev_ = Prev::kQuantifier;
                } else if (prev_ == Prev::kQuantifier) {
                    prev_ = Prev::kLazy;
                } else {
                    return false;
                }
                out_ += c;
                ++i_;
                return true;
            case L'{':
                return Brace();
            case L'}':
            case L']':
                out_ += L'\\';
                out_ += c;
                ++i_;
                prev_ = Prev::kAtom;
                return true;
            default:
                out_ += c;
                ++i_;
                prev_ = Prev::kAtom;
                return true;
        }
    }

    bool ClassStep() {
        const wchar_t c = p_[i_];
        if (c == L'\\') return Escape();
        if (c == L']') {
            in_class_ = false;
            prev_ = Prev::kAtom;
        }
        if (c == L'[') out_ += L'\\';
        out_ += c;
        ++i_;
        return true;
    }

    bool OpenClass() {
        std::wstring_view rest = p_.substr(i_);
        if (rest.starts_with(L"[]")) {
            out_ += L"[^\\s\\S]";
            i_ += 2;
        } else if (rest.starts_with(L"[^]")) {
            out_ += L"[\\s\\S]";
            i_ += 3;
        } else {
            const size_t open = rest.starts_with(L"[^") ? 2 : 1;
            out_ += rest.substr(0, open);
            i_ += open;
            in_class_ = true;
            return true;
        }
        prev_ = Prev::kAtom;
        return true;
    }

    bool OpenGroup() {
        std::wstring_view rest = p_.substr(i_);
        size_t opener = 1;
        if (rest.starts_with(L"(?")) {
            if (rest.starts_with(L"(?:") || rest.starts_with(L"(?=") || rest.starts_with(L"(?!")) {
                opener = 3;
            } else if (rest.starts_with(L"(?<=") || rest.starts_with(L"(?<!")) {
                opener = 4;
            } else {
                return false;
            }
        }
        out_ += rest.substr(0, opener);
        i_ += opener;
        prev_ = Prev::kNothing;
        return true;
    }

    // "{n}", "{n,}" or "{n,m}" repeat the atom before; any other "{" is a plain character.
    bool Brace() {
        size_t j = i_ + 1;
        const size_t first_digits = Digits(j);
        bool valid = first_digits > 0;
        if (valid && j < p_.size() && p_[j] == L',') {
            ++j;
            Digits(j);
        }
        valid = valid && j < p_.size() && p_[j] == L'}';
        if (!valid) {
            out_ += L"\\{";
            ++i_;
            prev_ = Prev::kAtom;
            return true;
        }
        if (prev_ != Prev::kAtom) return false;
        out_ += p_.substr(i_, j + 1 - i_);
        i_ = j + 1;
        prev_ = Prev::kQuantifier;
        return true;
    }

    size_t Digits(size_t& j) const {
        const size_t start = j;
        while (j < p_.size() && p_[j] >= L'0' && p_[j] <= L'9') ++j;
        return j - start;
    }

    bool HexDigits(size_t from, size_t count, unsigned& value) const {
        if (from + count > p_.size()) return false;
        value = 0;
        for (size_t k = from; k < from + count; ++k) {
            const wchar_t h = p_[k];
            unsigned digit;
            if (h >= L'0' && h <= L'9') {
                digit = static_cast<unsigned>(h - L'0');
            } else if (h >= L'a' && h <= L'f') {
                digit = static_cast<unsigned>(h - L'a' + 10);
            } else if (h >= L'A' && h <= L'F') {
                digit = static_cast<unsigned>(h - L'A' + 10);
            } else {
                return false;
            }
            value = value * 16 + digit;
        }
        return true;
    }

    void AppendCode(unsigned code) {
        static const wchar_t kHex[] = L"0123456789ABCDEF";
        std::wstring digits;
        do {
            digits.insert(digits.begin(), kHex[code % 16]);
            code /= 16;
        } while (code != 0);
        out_ += L"\\x{" + digits + L"}";
    }

    // A character standing for itself, escaped when Boost would read it as syntax.
    void AppendLiteral(wchar_t c) {
        static constexpr std::wstring_view kOutside = L"^$\\.*+?()[]{}|";
        static constexpr std::wstring_view kInside = L"\\]^-[";
        if ((in_class_ ? kInside : kOutside).find(c) != std::wstring_view::npos) out_ += L'\\';
        out_ += c;
    }

    bool Escape() {
        if (i_ + 1 >= p_.size()) return false;  // a pattern ending in a lone backslash
        const wchar_t c = p_[i_ + 1];
        i_ += 2;
        if (!in_class_) prev_ = Prev::kAtom;
        unsigned code = 0;
        switch (c) {
            case L'u':
                if (HexDigits(i_, 4, code)) {
                    AppendCode(code);
                    i_ += 4;
                } else {
                    AppendLiteral(c);
                }
                return true;
            case L'x':
                if (HexDigits(i_, 2, code)) {
                    AppendCode(code);
                    i_ += 2;
                } else {
                    AppendLiteral(c);
                }
                return true;
            case L'v':
                AppendCode(0x0B);
                return true;
            case L'c':
                if (i_ < p_.size() && ((p_[i_] >= L'a' && p_[i_] <= L'z') || (p_[i_] >= L'A' && p_[i_] <= L'Z'))) {
                    AppendCode(static_cast<unsigned>(p_[i_]) % 32);
                    ++i_;
                } else {
                    AppendLiteral(L'\\');
                    AppendLiteral(L'c');
                }
                return true;
            case L'0':
                if (i_ < p_.size() && p_[i_] >= L'0' && p_[i_] <= L'9') break;  // legacy octal: Boost's reading
                AppendCode(0);
                return true;
            case L'b':
            case L'B':
                if (in_class_) {
                    if (c == L'b') {
                        AppendCode(0x08);  // backspace inside a class
                    } else {
                        AppendLiteral(c);
                    }
                    return true;
                }
                prev_ = Prev::kNothing;  // word boundaries cannot be repeated
                break;
            case L'd': case L'D': case L's': case L'S': case L'w': case L'W':
            case L'f': case L'n': case L'r': case L't':
                break;
            default:
                if (c >= L'1' && c <= L'9') break;  // back-reference
                AppendLiteral(c);
                return true;
        }
        out_ += L'\\';
        out_ += c;
        return true;
    }

    std::wstring_view p_;
    bool multiline_;
    std::wstring out_;
    size_t i_ = 0;
    bool in_class_ = false;
    Prev prev_ = Prev::kNothing;
};

const Text& QuotePlaceholder() {
    static const Text kPlaceholder = Gbk("#引号");
    return kPlaceholder;
}

}  // namespace

void RegexFacade::Reset() {
    subject_.clear();
    has_subject_ = false;
    spans_per_match_ = 0;
    spans_.clear();
}

bool RegexFacade::Execute(const Text& pattern, const Text& subject, const RegexOptions& options) {
    Reset();
    try {
        subject_ = GbkToWide(subject);
        has_subject_ = true;
        const Text source = options.quote_placeholder ? ReplaceAll(pattern, QuotePlaceholder(), "\"") : pattern;
        const std::optional<std::wstring> translated =
            PatternTranslator(GbkToWide(source), options.multiline).Run();
        if (!translated) return false;

        namespace rc = boost::regex_constants;
        rc::syntax_option_type flags = rc::ECMAScript | rc::no_mod_s | rc::no_mod_m;
        if (!options.case_sensitive) flags |= rc::icase;
        boost::wregex engine;
        // The classic locale keeps case folding and \s \d \w to ASCII, whatever the process locale.
        engine.imbue(std::locale::classic());
        engine.assign(*translated, flags);

        const size_t width = engine.mark_count() + 1;
        const auto begin = subject_.cbegin();
        const auto end = subject_.cend();
        boost::wsmatch found;
        std::vector<Span> spans;
        // Script engines resume after an empty match one character further on, where Boost's
        // iterator would retry the same place for a longer match: so the loop is ours.
        size_t from = 0;
        while (from <= subject_.size()) {
            auto flags_here = rc::match_default;
            if (from > 0) flags_here |= rc::match_prev_avail | rc::match_not_bob;
            if (!boost::regex_search(begin + static_cast<std::ptrdiff_t>(from), end, found, engine, flags_here,
                                     begin)) {
                break;
            }
            for (size_t g = 0; g < width; ++g) {
                Span span;
                if (g < found.size() && found[g].matched) {
                    span.start = static_cast<size_t>(found[g].first - begin);
                    span.length = static_cast<size_t>(found[g].second - found[g].first);
                    span.matched = true;
                }
                spans.push_back(span);
            }
            if (!options.global) break;
            const size_t match_end = static_cast<size_t>(found[0].second - begin);
            from = found[0].length() == 0 ? match_end + 1 : match_end;
        }
        spans_per_match_ = width;
        spans_ = std::move(spans);
        return true;
    } catch (...) {
        // Invalid pattern (boost::regex_error), a search Boost abandoned as too complex or too deep
        // (std::runtime_error), or memory: no matches. The subject stays for Replace.
        spans_.clear();
        spans_per_match_ = 0;
        return false;
    }
}

int RegexFacade::MatchCount() const {
    if (spans_per_match_ == 0) return 0;
    const size_t count = spans_.size() / spans_per_match_;
    return count > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(count);
}

Text RegexFacade::Replace(const Text& replacement) const {
    if (!has_subject_) return {};
    try {
        const std::wstring with = GbkToWide(replacement);
        const std::wstring_view subject(subject_);
        const size_t groups = spans_per_match_ == 0 ? 0 : spans_per_match_ - 1;
        std::wstring out;
        out.reserve(subject.size());
        size_t copied = 0;
        for (size_t m = 0; m < spans_.size(); m += spans_per_match_) {
            const Span& whole = spans_[m];
            out.append(subject.substr(copied, whole.start - copied));
            copied = whole.start + whole.length;
            auto group = [&](size_t g) {
                const Span& span = spans_[m + g];
                if (span.matched) out.append(subject.substr(span.start, span.length));
            };
            for (size_t k = 0; k < with.size(); ++k) {
                const wchar_t c = with[k];
                const wchar_t next = k + 1 < with.size() ? with[k + 1] : L'\0';
                if (c != L'$' || k + 1 >= with.size()) {
                    out += c;
                } else if (next == L'$') {
                    out += L'$';
                    ++k;
                } else if (next == L'&') {
                    group(0);
                    ++k;
                } else if (next == L'`') {
                    out.append(subject.substr(0, whole.start));
                    ++k;
                } else if (next == L'\'') {
                    out.append(subject.substr(copied));
                    ++k;
                } else if (next >= L'0' && next <= L'9') {
                    // Two digits when they name an existing group, else one digit, else plain text.
                    const size_t one = static_cast<size_t>(next - L'0');
                    const wchar_t second = k + 2 < with.size() ? with[k + 2] : L'\0';
                    const size_t two = second >= L'0' && second <= L'9'
                                           ? one * 10 + static_cast<size_t>(second - L'0')
                                           : 0;
                    if (two >= 1 && two <= groups) {
                        group(two);
                        k += 2;
                    } else if (one >= 1 && one <= groups) {
                        group(one);
                        ++k;
                    } else {
                        out += c;
                    }
                } else {
                    out += c;
                }
            }
        }
        out.append(subject.substr(copied));
        return WideToGbk(out);
    } catch (...) {
        return {};
    }
}

}  // namespace marl
