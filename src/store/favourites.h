#pragma once
#include <cstdint>
#include <string>

namespace marl {

// Favourite articles live in table `favourite` of marltips.db, an additive table the monitor never
// touches. They are read through ArticleReader (ArticleQuery::favourites_only and the `favourite`
// flag of every article).

// Marks (or unmarks) the `info` row `article` as a favourite in the database at `path`, creating
// the table when missing. Marking a favourite twice keeps its first place; unmarking one that is
// not a favourite is done. False with `why` (UTF-8, one sentence) when the file cannot be written
// or the article does not exist.
bool SetFavourite(const std::string& path, int64_t article, bool favourite, std::string& why);

}  // namespace marl
