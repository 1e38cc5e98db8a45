#include <climits>
#include <cstdio>
#include <iostream>
#include <memory>

#include "app/cli/cli_commands.h"
#include "app/cli/cli_common.h"
#include "app/cli/cli_options.h"
#include "app/cli/cli_output.h"
#include "feeds/atom_feed.h"
#include "feeds/replace_file.h"
#include "store/article_reader.h"

namespace marl::cli {

int RunFeed(const FeedOptions& options) {
    const std::optional<std::string> found = ExistingDatabasePath(options.dir);
    if (!found) return kExitDatabase;
    const std::string& db_path = *found;
    ArticleQuery query;
    if (options.plan_id >= 0) query.plan_id = options.plan_id;
    query.limit = options.limit;
    ArticleSnapshot snapshot;
    const ArticleReadResult read = ReadArticles(db_path, query, snapshot);
    if (read != ArticleReadResult::kOk) return ArticleReadFailure(read, "feed", options.plan_id, db_path);
    const std::string document =
        feeds::AtomDocument(snapshot, query.plan_id, std::chrono::system_clock::now());
    if (!options.output.empty()) {
        std::string error;
        if (!feeds::ReplaceFile(options.output, document, error)) {
            return UsageError("feed: cannot write " + options.output + ": " + error);
        }
        return kExitOk;
    }
    // Through std::cout like every other record, so the final check of the output sees a failure.
    std::cout.write(document.data(), static_cast<std::streamsize>(document.size())).flush();
    if (OutputFailed()) {
        std::cerr << "marltips-cli: feed: the output could not be written\n";
        return kExitOutput;
    }
    return kExitOk;
}

Command AddFeedCommand(CLI::App& program) {
    auto options = std::make_shared<FeedOptions>();
    CLI::App* command = program.add_subcommand("feed", "print an Atom feed of the newest recorded articles");
    AddDir(*command, options->dir);
    AddNumber<int32_t>(*command, "--plan", options->plan_id, "only the articles of the plan with this id", 0,
                       INT32_MAX)
        ->default_str("");
    AddNumber<int64_t>(*command, "--limit", options->limit, "at most N entries", 1, 100000);
    command->add_option("--output", options->output, "write the feed to FILE (through a temporary file)")
        ->check(CLI::Validator([](const std::string& v) { return v.empty() ? "empty file name" : ""; }, "",
                               "FILE"))
        ->type_name("FILE");
    return MakeCommand(command, options, RunFeed);
}

}  // namespace marl::cli
