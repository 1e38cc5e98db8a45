#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "store/plan_store.h"
#include "text/text.h"

namespace CLI {
class App;
}

namespace marl::cli {

// What each command was asked to do, as its Add…Command declared it and the parse filled it in: every
// option of the command with its default, already checked. Texts marked GBK have been converted
// from the UTF-8 argument; encodings are "auto", "gbk" or "utf-8", lower case.

struct InitOptions {
    std::string dir;  // empty: the program directory
};

struct PlansOptions {
    std::string dir;
    bool json = false;
};

struct SaveOptions {
    std::string dir;
    int32_t position = 0;  // 0 inserts; above 0 updates the plan at that position
    std::string encoding;  // empty when not given: the editor's "not chosen", like "auto"
    // name, url, part (--area, default "[*]"), inck (--must), inc1 (--may), inc0 (--not), dom (--prefix),
    // post and url_key (--row-key), GBK. code, ua and url_key_i are made from the fields below.
    PlanValues values;
    std::vector<Text> headers;  // GBK, in the order given
    bool default_headers = false;
    int32_t row_value = 1;  // 1 or -1
    bool json = false;
};

struct DeleteOptions {
    std::string dir;
    int32_t id = 0;
    bool json = false;
};

struct FetchOptions {
    Text url;                        // GBK
    std::string encoding = "utf-8";  // gbk or utf-8
    Text post;                       // GBK; POST exactly when not empty
    std::vector<Text> headers;       // GBK, in the order given
    bool default_headers = false;
    bool json = false;
};

// The plan tester's values: a plan as the editor holds it before it is saved.
struct TestOptions {
    Text url;                       // GBK
    int32_t mode = 3;               // 1, 2 or 3
    std::string encoding = "auto";  // auto, gbk or utf-8
    Text area = "[*]";              // GBK, start marker "[*]" end marker
    Text post;                      // GBK
    std::vector<Text> headers;      // GBK, in the order given
    bool default_headers = false;
    Text must_contain;      // GBK: --must
    Text may_contain;       // GBK: --may, "$$"-separated as typed
    Text must_not_contain;  // GBK: --not, "$$"-separated as typed
    Text row_marker;        // GBK: --row-key
    int32_t row_value = 1;  // --row-value: 1 or -1
    int32_t position = 0;   // 0: a new plan, so a link prefix may be proposed
    bool json = false;
};

// The plan suggestion: an address and how to ask for it; --save N stores candidate N.
struct SuggestOptions {
    std::string dir;                // for --save
    Text url;                       // GBK
    std::string encoding = "auto";  // auto, gbk or utf-8
    Text post;                      // GBK
    std::vector<Text> headers;      // GBK, in the order given
    bool default_headers = false;
    int32_t save = 0;  // 0: save nothing; else the rank of the candidate to save
    bool json = false;
};

struct MonitorOptions {
    std::string dir;
    int64_t passes = 1;              // pass only
    std::vector<int32_t> positions;  // from 1; empty: the plans checked in 自动勾选
    bool json = false;
    std::string exec;   // UTF-8; the command for every new article, none when empty
    std::string serve;  // watch only: "ADDR:PORT" to serve the feeds from, none when empty
};

struct FeedOptions {
    std::string dir;
    int32_t plan_id = -1;  // below 0: every plan
    int64_t limit = 50;
    std::string output;  // empty: stdout
};

struct HistoryOptions {
    std::string dir;
    std::string search;    // UTF-8 words; empty: every article
    int32_t plan_id = -1;  // below 0: every plan
    bool favourites = false;
    int64_t limit = 50;
    bool json = false;
};

struct ServeOptions {
    std::string dir;
    std::string listen = "127.0.0.1:8765";
};

// The command handlers, one file each; each returns the process exit code.
int RunInit(const InitOptions& options);
int RunPlans(const PlansOptions& options);
int RunSave(const SaveOptions& options);
int RunDelete(const DeleteOptions& options);
int RunFetch(const FetchOptions& options);
int RunTest(const TestOptions& options);
int RunSuggest(const SuggestOptions& options);
int RunPass(const MonitorOptions& options);
int RunWatch(const MonitorOptions& options);
int RunFeed(const FeedOptions& options);
int RunServe(const ServeOptions& options);
int RunHistory(const HistoryOptions& options);

// One command of the command line: its part of the parser, and what runs it once it was parsed.
struct Command {
    CLI::App* app = nullptr;
    std::function<int()> run;
};

// A command whose options live as long as the command line: the parser writes into them, the handler
// reads them.
template <typename Options>
Command MakeCommand(CLI::App* app, std::shared_ptr<Options> options, int (*handler)(const Options&)) {
    return {app, [options = std::move(options), handler] { return handler(*options); }};
}

// Each command declares itself and its options on the program's parser, beside its handler. The
// program lists them in this order in its help (cli_parser.cpp).
Command AddInitCommand(CLI::App& program);
Command AddPlansCommand(CLI::App& program);
Command AddSaveCommand(CLI::App& program);
Command AddDeleteCommand(CLI::App& program);
Command AddFetchCommand(CLI::App& program);
Command AddTestCommand(CLI::App& program);
Command AddSuggestCommand(CLI::App& program);
Command AddPassCommand(CLI::App& program);
Command AddWatchCommand(CLI::App& program);
Command AddFeedCommand(CLI::App& program);
Command AddServeCommand(CLI::App& program);
Command AddHistoryCommand(CLI::App& program);

// The request header text of the options: the editor's default block when asked for, then the given
// lines, joined with CR LF.
Text HeaderText(const std::vector<Text>& lines, bool default_headers);

}  // namespace marl::cli
