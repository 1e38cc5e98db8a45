#include "app/cli/cli_commands.h"
#include "app/cli/cli_common.h"
#include "web/page_fetcher.h"

namespace marl::cli {

// The page as the monitor would search it: fetched, decoded and cleaned.
int RunFetch(const FetchOptions& options) {
    if (options.url.empty()) return UsageError("fetch: --url must not be empty");
    const HttpMethod method = options.post.empty() ? HttpMethod::kGet : HttpMethod::kPost;
    const Text page =
        FetchPage(options.url, method, options.post, HeaderText(options.headers, options.default_headers),
                  options.encoding == "gbk");
    if (options.json) {
        EmitJson({{"event", "page"}, {"text", ToUtf8(page)}});
    } else {
        EmitLine(ToUtf8(page));
    }
    return kExitOk;
}

}  // namespace marl::cli
