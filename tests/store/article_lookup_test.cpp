#include "store/article_lookup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "store/raw_sqlite.h"
#include "support/temp_dir.h"

namespace marl {
namespace {

TEST(FindArticleByUrl, TheNewestRowOfExactlyThatAddressOrNone) {
    test::TempDir dir;
    const std::string path = dir.File("marltips.db");
    test::CreateDatabaseFile(path);
    test::RawSqlite db(path);
    const char* urls[] = {"http://127.0.0.1/a?x=1&amp;y=2", "http://127.0.0.1/it's", "http://127.0.0.1/地铁",
                          "http://127.0.0.1/a?x=1&amp;y=2", "http://127.0.0.1/a"};
    for (const char* url : urls)
        db.ExecBound("INSERT INTO info (classid, title, url) VALUES ('1', 't', ?)", {url});

    struct Case {
        const char* url;
        int64_t article;
    };
    const Case cases[] = {
        {"http://127.0.0.1/a?x=1&amp;y=2", 4},  // recorded twice by an older program: the newest
        {"http://127.0.0.1/it's", 2},
        {"http://127.0.0.1/地铁", 3},
        {"http://127.0.0.1/a", 5},
        {"http://127.0.0.1/A", 0},  // byte for byte
        {"http://127.0.0.1/a%", 0},
        {"", 0},
    };
    for (const Case& c : cases) {
        int64_t article = -1;
        std::string why;
        EXPECT_TRUE(FindArticleByUrl(path, c.url, article, why)) << c.url;
        EXPECT_EQ(article, c.article) << c.url;
    }
}

TEST(FindArticleByUrl, AFileThatCannotBeReadSaysWhyAndIsNotCreated) {
    test::TempDir dir;
    const std::string missing = dir.File("missing.db");
    const std::string text = dir.File("text.db");
    test::WriteFileBytes(text, "no database, only text");
    for (const std::string& path : {missing, text}) {
        int64_t article = -1;
        std::string why;
        EXPECT_FALSE(FindArticleByUrl(path, "http://127.0.0.1/a", article, why)) << path;
        EXPECT_EQ(article, 0);
        EXPECT_FALSE(why.empty());
    }
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_EQ(test::ReadFileBytes(text), "no database, only text");
}

}  // namespace
}  // namespace marl
