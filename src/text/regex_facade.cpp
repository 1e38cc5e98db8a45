#include "text/regex_facade.h"

#include <boost/regex.hpp>

#include <climits>
#include <locale>
#include <optional>

#include "text/gbk_codec.h"
#include "text/script_pattern.h"
#include "text/text_ops.h"

namespace marl {
namespace {

const Text& QuotePlaceholder() {
    static const Text kPlaceholder = Gbk("#引号");
    return kPlaceholder;
}

// Links and most subjects are plain ASCII, which needs no trip through the GBK converter.
std::wstring Widen(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return GbkToWide(text);
    }
    return std::wstring(text.begin(), text.end());
}

}  // namespace

struct ScriptRegex::Engine {
    boost::wregex regex;
};

ScriptRegex::ScriptRegex(const Text& pattern, const RegexOptions& options) {
    try {
        const Text source =
            options.quote_placeholder ? ReplaceAll(pattern, QuotePlaceholder(), "\"") : pattern;
        const std::optional<std::wstring> translated =
            TranslateScriptPattern(GbkToWide(source), options.multiline);
        if (!translated) return;

        namespace rc = boost::regex_constants;
        rc::syntax_option_type flags = rc::ECMAScript | rc::no_mod_s | rc::no_mod_m;
        if (!options.case_sensitive) flags |= rc::icase;
        auto engine = std::make_unique<Engine>();
        // The classic locale keeps case folding and \s \d \w to ASCII, whatever the process locale.
        engine->regex.imbue(std::locale::classic());
        engine->regex.assign(*translated, flags);
        engine_ = std::move(engine);
    } catch (...) {
        // Invalid pattern (boost::regex_error) or no memory: not valid.
        engine_.reset();
    }
}

ScriptRegex::~ScriptRegex() = default;
ScriptRegex::ScriptRegex(ScriptRegex&&) noexcept = default;
ScriptRegex& ScriptRegex::operator=(ScriptRegex&&) noexcept = default;

bool ScriptRegex::HasMatch(std::string_view subject) const {
    if (!engine_) return false;
    try {
        const std::wstring wide = Widen(subject);
        return boost::regex_search(wide.cbegin(), wide.cend(), engine_->regex,
                                   boost::regex_constants::match_default);
    } catch (...) {
        // A search Boost abandoned as too complex or too deep, or memory: no match.
        return false;
    }
}

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
        const ScriptRegex compiled(pattern, options);
        if (!compiled.IsValid()) return false;
        const boost::wregex& engine = compiled.engine_->regex;

        namespace rc = boost::regex_constants;
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
            if (!boost::regex_search(begin + static_cast<std::ptrdiff_t>(from), end, found, engine,
                                     flags_here, begin)) {
                break;
            }
            for (size_t g = 0; g < width; ++g) {
                Span span;
                const int sub = static_cast<int>(g);  // Boost numbers groups with int
                if (g < found.size() && found[sub].matched) {
                    span.start = static_cast<size_t>(found[sub].first - begin);
                    span.length = static_cast<size_t>(found[sub].second - found[sub].first);
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
        // A search Boost abandoned as too complex or too deep (std::runtime_error), or memory: no
        // matches. The subject stays for Replace.
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
                    continue;
                }
                if (next == L'$') {
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
                    const size_t two =
                        second >= L'0' && second <= L'9' ? one * 10 + static_cast<size_t>(second - L'0') : 0;
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
