#pragma once
#include <cstdint>
#include <functional>
#include <string>

struct sqlite3;

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

}  // namespace marl
