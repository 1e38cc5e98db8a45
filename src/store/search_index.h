#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace marl {

// The search index over the recorded articles' titles and addresses: an SQLite FTS5 table with
// the trigram tokenizer, an additive object in marltips.db beside `info`. Words of three or more
// characters are looked up in it; shorter words are checked on the rows it yields, or by a scan.

// Whether the file holds an index ready for searching (built completely at least once).
bool HasSearchIndex(sqlite3* db);

// Builds the index for the existing database at `path`, in chunks of a few thousand rows, each
// its own short write transaction, so that a monitor recording into the same file is held up for
// moments only. `progress` (may be empty) is told the rows done and the rows to do after every
// chunk; returning false stops the build early (what is done stays and a later call goes on).
// True at once when the index is complete already. False with `why` (UTF-8, one sentence) when it
// cannot be built: the file is read-only, locked for longer than the busy time, or this SQLite
// has no FTS5; or when `progress` stopped it.
bool BuildSearchIndex(const std::string& path,
                      const std::function<bool(int64_t done, int64_t total)>& progress, std::string& why);

// What the recorder, the reader and the builder share; not for callers outside the store.
namespace search_index {

// The index table, its terms seen by the reader, and the table that says how far it reaches.
inline constexpr char kTable[] = "article_search";
inline constexpr char kStateTable[] = "article_search_state";

// How far the index reaches: every `info` row with rowid <= done is in it and no other row is.
// Rows above it (recorded while the index could not be written, or by an older program) are
// searched by a scan. `ready` once a build has reached the newest row.
struct State {
    bool exists = false;
    bool ready = false;
    int64_t done = 0;
};
State ReadState(sqlite3* db);

// A title or address as the index holds it: ASCII letters in lower case, other bytes as they
// are, followed by two spaces, so that every word of one or two characters that occurs in it
// begins one of its trigrams.
std::string IndexedForm(const std::string& text);

// The words of a search as the index compares them: split at white space (ASCII and U+3000),
// ASCII letters lowered, each word once.
std::vector<std::string> SearchWords(const std::string& words);

// The number of UTF-8 characters of `word`.
size_t CharacterCount(const std::string& word);

// `text` as an FTS5 string: in double quotes, its own double quotes doubled, so that no text
// is ever read as query syntax.
std::string QuotedString(const std::string& text);

// Adds marl_fold(x) (ASCII letters lowered) to the connection.
bool RegisterFold(sqlite3* db);

// Adds the article just stored in the open write transaction to the index, when the file has an
// index that reaches up to the row before it; else leaves it to a scan and the next build. A
// failure leaves the index as it was (the article stays stored and is searched by the scan).
class Writer {
  public:
    Writer() = default;
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // True when the article went into the index.
    bool Add(sqlite3* db, int64_t article, const std::string& title, const std::string& url);
    // At the start of every write transaction: another program may have made or dropped the index
    // since the last one (within a transaction nobody else can).
    void NewTransaction() { absent_ = false; }
    // Before the connection closes.
    void Reset();

  private:
    bool absent_ = false;  // this transaction found no index
    sqlite3_stmt* state_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
    sqlite3_stmt* advance_ = nullptr;
};

}  // namespace search_index

}  // namespace marl
