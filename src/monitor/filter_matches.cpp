#include "monitor/filter_matches.h"

#include "text/regex_facade.h"

namespace marl {

Text BuildFilterExpression(const Text& include, const Text& exclude) {
    Text expression = "^";
    if (!include.empty()) expression += "(?=.*?(" + include + "))";
    if (!exclude.empty()) expression += "(?!.*?(" + exclude + "))";
    expression += ".*$";
    return expression;
}

bool FilterMatches(const Text& link, const Text& include, const Text& exclude,
                   const ClipboardSink& clipboard) {
    const Text expression = BuildFilterExpression(include, exclude);
    if (clipboard) {
        try {
            clipboard(expression);
        } catch (...) {
            // A clipboard that cannot take the text does not change the answer.
        }
    }
    RegexFacade facade;
    RegexOptions options;
    options.case_sensitive = false;
    options.multiline = false;
    options.global = false;
    return facade.Execute(expression, link, options) && facade.MatchCount() != 0;
}

}  // namespace marl
