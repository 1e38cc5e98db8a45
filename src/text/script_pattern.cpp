#include "text/script_pattern.h"

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
                if (i_ < p_.size() &&
                    ((p_[i_] >= L'a' && p_[i_] <= L'z') || (p_[i_] >= L'A' && p_[i_] <= L'Z'))) {
                    AppendCode(static_cast<unsigned>(p_[i_]) % 32);
                    ++i_;
                } else {
                    AppendLiteral(L'\\');
                    AppendLiteral(L'c');
                }
                return true;
            case L'0':
                // Legacy octal ("\012"): left to Boost's reading.
                if (i_ < p_.size() && p_[i_] >= L'0' && p_[i_] <= L'9') break;
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
            // clang-format off
            case L'd': case L'D': case L's': case L'S': case L'w': case L'W':
            case L'f': case L'n': case L'r': case L't':
                break;
            // clang-format on
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

}  // namespace

std::optional<std::wstring> TranslateScriptPattern(std::wstring_view pattern, bool multiline) {
    return PatternTranslator(pattern, multiline).Run();
}

}  // namespace marl
