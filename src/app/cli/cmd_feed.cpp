#include <climits>
#include <cstdio>
#include <filesystem>
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
    const std::string db_path = DatabasePath(options.dir);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(db_path, ec)) {
        std::cerr << "marltips-cli: database missing: " << db_path << "\n";
        return kExitDatabase;
    }
    ArticleQuery query;
    if (options.plan_id >= 0) query.plan_id = options.plan_id;
    query.limit = options.limit;
    ArticleSnapshot snapshot;
    switch (ReadArticles(db_path, query, snapshot)) {
        case ArticleReadResult::kOk:
            break;
        case ArticleReadResult::kUnknownPlan:
            return UsageError("feed: no plan with id " + std::to_string(options.plan_id));
        case ArticleReadResult::kBusy:
            std::cerr << "marltips-cli: the database is busy: " << db_path << "\n";
            return kExitDatabase;
        case ArticleReadResult::kUnavailable:
        case ArticleReadResult::kNoSearch:  // a feed searches no words
            std::cerr << "marltips-cli: cannot read the database " << db_path << "\n";
            return kExitDatabase;
    }
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
