#include "app/cli/cli_validators.h"

#include <algorithm>

#include "text/gbk_codec.h"
#include "text/text_ops.h"

namespace marl::cli {

CLI::Validator GbkText() {
    return CLI::Validator(
        [](std::string& value) -> std::string {
            auto gbk = Utf8ToGbkStrict(value);
            if (!gbk) return "holds a character that GBK lacks (or text that is not UTF-8)";
            value = std::move(*gbk);
            return {};
        },
        "", "GBK");
}

CLI::Validator DecimalNumber() {
    return CLI::Validator(
        [](std::string& value) -> std::string {
            const size_t sign = !value.empty() && value[0] == '-' ? 1 : 0;
            const bool digits =
                value.size() > sign && std::all_of(value.begin() + static_cast<long>(sign), value.end(),
                                                   [](char c) { return c >= '0' && c <= '9'; });
            if (!digits) return "not a whole decimal number: " + value;
            const size_t first = std::min(value.find_first_not_of('0', sign), value.size() - 1);
            value = (sign ? "-" : "") + value.substr(first);
            if (value == "-0") value = "0";
            return {};
        },
        "", "DECIMAL");
}

CLI::Validator NotEmpty() {
    return CLI::Validator(
        [](std::string& value) -> std::string { return value.empty() ? "must not be empty" : ""; }, "",
        "NOT EMPTY");
}

CLI::Validator Choice(const std::vector<std::string>& choices) {
    std::string listed;
    for (const std::string& choice : choices) listed += (listed.empty() ? "" : "|") + choice;
    return CLI::Validator(
        [choices, listed](std::string& value) -> std::string {
            std::string wanted = AsciiLower(value);
            if (wanted == "utf8") wanted = "utf-8";
            if (std::find(choices.begin(), choices.end(), wanted) == choices.end()) {
                return "must be " + listed + ", not " + value;
            }
            value = wanted;
            return {};
        },
        "", "CHOICE");
}

}  // namespace marl::cli
