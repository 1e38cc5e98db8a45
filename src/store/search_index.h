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
// It is kept up to date after each recording commit (Database::CatchUpSearchIndex); the rows it
// does not reach yet are searched directly.

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

// One step of building the index, in a write transaction of its own: up to a few thousand rows
// above the mark go into it and the mark follows them. The step that finds no row left makes the
// index ready. `rows` receives how many rows went in. An SQLite result code: SQLITE_OK, or why
// the step wrote nothing (the write lock not had, a read-only file, no index table).
int IndexNextRows(sqlite3* db, int64_t& rows);

// Whether a ready index lags behind the newest recorded row, so IndexNextRows has work to do.
bool Lags(sqlite3* db);

}  // namespace search_index

}  // namespace marl
