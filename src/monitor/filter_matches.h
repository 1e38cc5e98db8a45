#pragma once
#include <functional>
#include <string_view>

#include "text/regex_facade.h"
#include "text/text.h"

namespace marl {

// Receives the filter expression for the system clipboard. The worker thread never touches the
// clipboard itself: the caller hands in a sink that carries the text to wherever it belongs.
using ClipboardSink = std::function<void(const Text&)>;

// The expression a link must match to pass a plan's words: "^", then "(?=.*?(include))" when include
// is set, "(?!.*?(exclude))" when exclude is set, then ".*$". The words are expression text in their
// loaded form (alternatives joined by "|") and keep their meaning as expression syntax.
Text BuildFilterExpression(const Text& include, const Text& exclude);

// A plan's include/exclude words as one expression, compiled once and asked for every link of the
// plan's page. Matches gives the answer of FilterMatches, and hands the sink the same text.
class LinkFilter {
  public:
    LinkFilter(const Text& include, const Text& exclude);

    const Text& Expression() const { return expression_; }
    bool Matches(std::string_view link, const ClipboardSink& clipboard = {}) const;

  private:
    Text expression_;
    ScriptRegex regex_;
};

// True when the link holds at least one include alternative (if any are given) and no exclude
// alternative, ASCII letters compared without regard to case. The built expression goes to
// `clipboard` first (skipped when the sink is empty). A word that is not valid expression text makes
// the answer false for every link.
bool FilterMatches(const Text& link, const Text& include, const Text& exclude,
                   const ClipboardSink& clipboard = {});

}  // namespace marl
