#include <memory>

#include "app/cli/cli_commands.h"
#include "app/cli/cli_common.h"
#include "app/cli/cli_options.h"
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

Command AddFetchCommand(CLI::App& program) {
    auto options = std::make_shared<FetchOptions>();
    FetchOptions& f = *options;
    CLI::App* command = program.add_subcommand("fetch", "print a page's text as the monitor searches it");
    AddText(*command, "--url", f.url, "page address");
    command->get_option("--url")->required();
    AddEncoding(*command, f.encoding, {"gbk", "utf-8"}, "page encoding");
    AddText(*command, "--post", f.post, "POST body; the request is a POST exactly when it is not empty");
    AddHeaders(*command, f.headers, f.default_headers);
    AddJson(*command, f.json);
    return MakeCommand(command, options, RunFetch);
}

}  // namespace marl::cli
