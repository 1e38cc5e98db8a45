#include "monitor/filter_matches.h"

namespace marl {
namespace {

RegexOptions FilterOptions() {
    RegexOptions options;
    options.case_sensitive = false;
    options.multiline = false;
    options.global = false;
    return options;
}

}  // namespace

Text BuildFilterExpression(const Text& include, const Text& exclude) {
    Text expression = "^";
    if (!include.empty()) expression += "(?=.*?(" + include + "))";
    if (!exclude.empty()) expression += "(?!.*?(" + exclude + "))";
    expression += ".*$";
    return expression;
}

LinkFilter::LinkFilter(const Text& include, const Text& exclude)
    : expression_(BuildFilterExpression(include, exclude)), regex_(expression_, FilterOptions()) {}

bool LinkFilter::Matches(std::string_view link, const ClipboardSink& clipboard) const {
    if (clipboard) {
        try {
            clipboard(expression_);
        } catch (...) {
            // A clipboard that cannot take the text does not change the answer.
        }
    }
    return regex_.HasMatch(link);
}

bool FilterMatches(const Text& link, const Text& include, const Text& exclude,
                   const ClipboardSink& clipboard) {
    return LinkFilter(include, exclude).Matches(link, clipboard);
}

}  // namespace marl
