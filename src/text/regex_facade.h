#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text/text.h"

namespace marl {

struct RegexOptions {
    bool case_sensitive = false;     // false: ASCII letters match without regard to case
    bool multiline = true;           // "^" and "$" also match next to CR and LF inside the subject
    bool global = true;              // every match; false: the first one only
    bool quote_placeholder = false;  // every "#引号" in the pattern stands for a double quote
};

class RegexFacade;

// A script-style expression (as below) compiled once, for running over many subjects: a plan's
// filter over every link of its page. Gives the answers RegexFacade gives with the same options.
class ScriptRegex {
  public:
    // Compiles `pattern`; IsValid tells whether that worked. Never throws.
    explicit ScriptRegex(const Text& pattern, const RegexOptions& options = {});
    ~ScriptRegex();
    ScriptRegex(ScriptRegex&&) noexcept;
    ScriptRegex& operator=(ScriptRegex&&) noexcept;

    bool IsValid() const { return engine_ != nullptr; }
    // True when `subject` holds a match. False when it holds none, when the pattern is not valid and
    // when the engine gave up on this subject: exactly when RegexFacade::Execute with the same
    // pattern and options would fail or find nothing. Never throws.
    bool HasMatch(std::string_view subject) const;

  private:
    friend class RegexFacade;
    struct Engine;
    std::unique_ptr<const Engine> engine_;
};

// Script-style regular expressions (the dialect of the classic Windows script engines) over GBK
// text taken as characters: alternation, groups, lookahead, lazy quantifiers, anchors, class escapes,
// "." as any character but LF. Patterns and subjects are GBK; matching runs on wide characters, so a
// Chinese character is one character. Case folding touches ASCII letters only, as everywhere else in
// the program; \s, \d and \w are the ASCII classes.
//
// One object per use: Execute, then MatchCount and Replace read its result. A second Execute
// discards the previous one. Never throws.
class RegexFacade {
  public:
    // True when the search ran, whether or not anything matched. False when the pattern is not
    // valid or the engine gave up on it (too complex for the subject, out of memory); MatchCount is
    // then 0.
    bool Execute(const Text& pattern, const Text& subject, const RegexOptions& options = {});

    // Matches found by the last Execute (at most 1 when global was off); 0 when it failed.
    int MatchCount() const;

    // The subject of the last Execute with its matches replaced by `replacement`, in which "$$",
    // "$&", "$`", "$'" and "$1".."$99" follow the script engines' rules. After a failed Execute this
    // is the subject unchanged; before any Execute, the empty text. Characters that have no GBK form
    // (only possible from invalid input bytes) come back as "?".
    Text Replace(const Text& replacement) const;

  private:
    struct Span {
        size_t start = 0;
        size_t length = 0;
        bool matched = false;
    };

    void Reset();

    std::wstring subject_;
    bool has_subject_ = false;
    size_t spans_per_match_ = 0;  // the whole match plus one per capturing group
    std::vector<Span> spans_;     // the matches one after another, spans_per_match_ each
};

}  // namespace marl
