#include <climits>
#include <iostream>
#include <optional>
#include <string>

#include "app/cli/cli_common.h"
#include "store/database.h"
#include "store/plan_store.h"
#include "text/text_ops.h"

namespace marl::cli {

namespace {

// A whole decimal number that fits in 32 bits.
std::optional<int32_t> ParseWhole(const std::string& text) {
    if (text.empty() || text.size() > 11) return std::nullopt;
    size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size()) return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    if (text[0] == '-') value = -value;
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(value);
}

// The editor's three checks, in its order; the message of the first that fails.
std::optional<Text> FailedCheck(const Text& code, const PlanValues& values) {
    if (code.empty()) return Gbk("请选择网站编码");
    if (values.name.empty()) return Gbk("名称不能空");
    if (values.url.empty()) return Gbk("列表网址不能空");
    return std::nullopt;
}

void Report(const CliArgs& args, const StoreResult& result) {
    if (args.Json()) {
        EmitJson({{"event", "saved"}, {"ok", result.ok}, {"sql", ToUtf8(result.sql)}});
    } else if (result.ok) {
        EmitLine(ToUtf8(Gbk("成功")));
    } else {
        EmitLine(ToUtf8(Gbk("失败！SQL语句：\r\n") + result.sql));
    }
}

}  // namespace

// The plan editor's save without its window: same checks, same values, same statement.
int RunSave(const CliArgs& args) {
    // The encoding selector: auto (its first entry) is never stored.
    Text code;
    const std::string encoding = AsciiLower(args.Get("--encoding").value_or("auto"));
    if (encoding == "gbk") {
        code = "1";
    } else if (encoding == "utf-8" || encoding == "utf8") {
        code = "2";
    } else if (encoding != "auto") {
        return UsageError("--encoding must be gbk, utf-8 or auto");
    }

    PlanValues values;
    const std::pair<const char*, Text*> fields[] = {
        {"--name", &values.name},  {"--url", &values.url},       {"--area", &values.part},
        {"--must", &values.inck},  {"--may", &values.inc1},      {"--not", &values.inc0},
        {"--prefix", &values.dom}, {"--post", &values.post},     {"--row-key", &values.url_key},
    };
    values.part = "[*]";
    for (const auto& [option, field] : fields) {
        const auto given = args.Get(option);
        if (!given) continue;
        const auto gbk = ToGbk(*given);
        if (!gbk) return UsageError(std::string(option) + " holds a character that GBK lacks");
        *field = *gbk;
    }
    if (args.Has("--default-headers")) values.ua = DefaultHeaderBlock();
    for (const std::string& line : args.GetAll("--header")) {
        const auto gbk = ToGbk(line);
        if (!gbk) return UsageError("--header holds a character that GBK lacks");
        if (!values.ua.empty()) values.ua += "\r\n";
        values.ua += *gbk;
    }
    values.url_key_i = args.Get("--row-value").value_or("1");
    if (values.url_key_i != "1" && values.url_key_i != "-1") return UsageError("--row-value must be 1 or -1");
    const auto position = ParseWhole(args.Get("--position").value_or("0"));
    if (!position || *position < 0) return UsageError("--position must be a plan position or 0");
    values.code = code;

    if (const auto message = FailedCheck(code, values)) {
        if (args.Json()) {
            EmitJson({{"event", "message"}, {"text", ToUtf8(*message)}});
        } else {
            EmitLine(ToUtf8(*message));
        }
        return kExitOk;
    }

    Database db;
    if (!OpenStoreDatabase(args, db)) return kExitDatabase;
    SharedPlanList plans;
    PlanStore store(db, plans);
    int32_t id = 0;
    if (*position > 0) {
        store.LoadPlans();
        const PlanRecord* plan = plans.Get()->At(*position);
        if (plan == nullptr) return UsageError("no plan at position " + std::to_string(*position));
        id = plan->id;
    }
    const StoreResult result = store.UpsertPlan(values, id);
    if (result.ok) store.LoadPlans();
    Report(args, result);
    if (!result.ok) {
        // The record says ok:false; the exit code stays 0 as for every finished command.
        std::cerr << "marltips-cli: the statement failed\n";
    }
    return kExitOk;
}

}  // namespace marl::cli
