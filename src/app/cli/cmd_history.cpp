#include <climits>
#include <iostream>
#include <memory>
#include <string>

#include "app/cli/cli_commands.h"
#include "app/cli/cli_common.h"
#include "app/cli/cli_options.h"
#include "feeds/atom_feed.h"
#include "store/article_reader.h"
#include "store/search_index.h"

namespace marl::cli {
namespace {

// The recording time as the contract gives it: the stored long form, or "" for rows recorded
// before times were kept (or holding anything else).
std::string ArticleTime(const RecordedArticle& article) {
    return feeds::ParseStoredTime(article.addtime) ? article.addtime : std::string();
}

}  // namespace

int RunHistory(const HistoryOptions& options) {
    const std::optional<std::string> found = ExistingDatabasePath(options.dir);
    if (!found) return kExitDatabase;
    const std::string& db_path = *found;
    ArticleQuery query;
    if (options.plan_id >= 0) query.plan_id = options.plan_id;
    query.limit = options.limit;
    query.words = options.search;
    query.favourites_only = options.favourites;
    ArticleReader reader(db_path);
    ArticleSnapshot snapshot;
    ArticleReadResult read = reader.Read(query, snapshot);
    if (read == ArticleReadResult::kNoSearch) {
        // A file without the search index gets it once, quietly (a large file takes a while); one
        // that cannot take it (read-only, locked, no FTS5) is searched by reading every row.
        std::string why;
        if (!BuildSearchIndex(db_path, {}, why)) query.scan_without_index = true;
        read = reader.Read(query, snapshot);
        if (read == ArticleReadResult::kNoSearch && !query.scan_without_index) {
            query.scan_without_index = true;
            read = reader.Read(query, snapshot);
        }
    }
    if (read != ArticleReadResult::kOk) return ArticleReadFailure(read, "history", options.plan_id, db_path);
    if (snapshot.articles.empty() && !options.json) EmitLine("no articles");
    for (const RecordedArticle& article : snapshot.articles) {
        const std::string time = ArticleTime(article);
        if (options.json) {
            nlohmann::ordered_json plan_id = nullptr;
            if (article.plan_id) plan_id = *article.plan_id;
            EmitJson({{"event", "article"},
                      {"plan", article.plan},
                      {"plan_id", plan_id},
                      {"title", article.title},
                      {"url", article.url},
                      {"time", time}});
        } else {
            EmitLine((time.empty() ? std::string(19, '-') : time) + "  " +
                     (article.plan.empty() ? std::string("-") : article.plan) + "  " + article.title + "  " +
                     article.url);
        }
    }
    return kExitOk;
}

Command AddHistoryCommand(CLI::App& program) {
    auto options = std::make_shared<HistoryOptions>();
    CLI::App* command = program.add_subcommand("history", "list recorded articles, newest first");
    AddDir(*command, options->dir);
    command
        ->add_option("--search", options->search,
                     "only articles holding every word in the title or address (ASCII case-blind, Chinese as "
                     "substrings)")
        ->type_name("WORDS");
    AddNumber<int32_t>(*command, "--plan", options->plan_id, "only the articles of the plan with this id", 0,
                       INT32_MAX)
        ->default_str("");
    command->add_flag("--favourites", options->favourites, "only the favourites, newest favourite first");
    AddNumber<int64_t>(*command, "--limit", options->limit, "at most N articles", 1, 100000);
    AddJson(*command, options->json);
    return MakeCommand(command, options, RunHistory);
}

}  // namespace marl::cli
