#include "app/cli/cli_common.h"
#include "store/plan_store.h"
#include "text/text_ops.h"
#include "web/page_fetcher.h"

namespace marl::cli {

// The page as the monitor would search it: fetched, decoded and cleaned.
int RunFetch(const CliArgs& args) {
    if (!args.positionals.empty()) return UsageError("fetch takes no positional arguments");
    const auto url_arg = args.Get("--url");
    if (!url_arg || url_arg->empty()) return UsageError("fetch needs --url");
    const auto url = ToGbk(*url_arg);
    if (!url) return UsageError("--url cannot be written in GBK");

    bool is_gbk = false;
    if (const auto encoding = args.Get("--encoding")) {
        if (EqualsNoCase(*encoding, "gbk")) {
            is_gbk = true;
        } else if (!EqualsNoCase(*encoding, "utf-8") && !EqualsNoCase(*encoding, "utf8")) {
            return UsageError("--encoding must be gbk or utf-8");
        }
    }

    Text post;
    if (const auto post_arg = args.Get("--post")) {
        const auto converted = ToGbk(*post_arg);
        if (!converted) return UsageError("--post cannot be written in GBK");
        post = *converted;
    }

    // The editor's default block first, then the given lines, joined with CR LF.
    Text header_text = args.Has("--default-headers") ? DefaultHeaderBlock() : Text();
    for (const std::string& line : args.GetAll("--header")) {
        const auto converted = ToGbk(line);
        if (!converted) return UsageError("--header cannot be written in GBK: " + line);
        if (!header_text.empty()) header_text += "\r\n";
        header_text += *converted;
    }

    const HttpMethod method = post.empty() ? HttpMethod::kGet : HttpMethod::kPost;
    const Text page = FetchPage(*url, method, post, header_text, is_gbk);
    if (args.Json()) {
        EmitJson({{"event", "page"}, {"text", ToUtf8(page)}});
    } else {
        EmitLine(ToUtf8(page));
    }
    return kExitOk;
}

}  // namespace marl::cli
