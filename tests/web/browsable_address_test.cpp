// Which stored article links may reach the browser, and in what spelling.
#include "web/browsable_address.h"

#include <gtest/gtest.h>

#include <string>

#include "text/text.h"

namespace marl {
namespace {

TEST(BrowsableAddress, OnlyWebAddressesAreOpened) {
    struct Case {
        const char* stored;
        const char* opened;  // nullptr: not opened
    } const cases[] = {
        {"http://example.com/a.html", "http://example.com/a.html"},
        {"HTTPS://Example.com/A?b=1", "HTTPS://Example.com/A?b=1"},
        {"hTtP://x/", "hTtP://x/"},
        {"file:///etc/passwd", nullptr},
        {"/usr/bin/xterm", nullptr},
        {"javascript:alert(1)", nullptr},
        {"mailto:a@b", nullptr},
        {"ftp://host/file", nullptr},
        {" http://leading.space/", nullptr},
        {"http:/one-slash", nullptr},
        {"", nullptr},
        {"list.php?id=1", nullptr},  // a relative link without a prefix
    };
    for (const Case& c : cases) {
        const auto got = BrowsableAddress(c.stored);
        if (c.opened == nullptr) {
            EXPECT_FALSE(got.has_value()) << c.stored;
        } else {
            ASSERT_TRUE(got.has_value()) << c.stored;
            EXPECT_EQ(*got, c.opened);
        }
    }
}

TEST(BrowsableAddress, CharacterReferencesAreReadAsTheCharactersInUtf8) {
    const struct {
        std::string stored;  // GBK
        std::string opened;  // UTF-8
    } cases[] = {
        {"http://x/t/&#128512;.html", "http://x/t/\xF0\x9F\x98\x80.html"},
        {"http://x/t/&#54620;&#44397;.html", "http://x/t/\xED\x95\x9C\xEA\xB5\xAD.html"},
        {"http://x/t/&#x1F60E;&#X1f60e;", "http://x/t/\xF0\x9F\x98\x8E\xF0\x9F\x98\x8E"},
        {"http://x/?a=1&#38;b=2&amp;c=3", "http://x/?a=1&b=2&c=3"},
        {"http://x/&amp;#38;", "http://x/&#38;"},  // one pass: what it gives is not read again
        {Gbk("http://x/新闻/&#128512;"), "http://x/\xE6\x96\xB0\xE9\x97\xBB/\xF0\x9F\x98\x80"},
        // Nothing a link may hold, or no reference at all: left as written.
        {"http://x/&#10;&#0;&#127;&#55296;&#1114112;&#99999999999;",
         "http://x/&#10;&#0;&#127;&#55296;&#1114112;&#99999999999;"},
        {"http://x/&#65&#;&#x;&#xG;&# 65;&", "http://x/&#65&#;&#x;&#xG;&# 65;&"},
    };
    for (const auto& c : cases) {
        const auto got = BrowsableAddress(c.stored);
        ASSERT_TRUE(got.has_value()) << c.stored;
        EXPECT_EQ(*got, c.opened) << c.stored;
    }
}

TEST(BrowsableAddress, AttributeAmpersandsAreReadAsAmpersands) {
    EXPECT_EQ(*BrowsableAddress("http://x/a.php?id=1&amp;page=2&amp;amp;q"),
              "http://x/a.php?id=1&page=2&amp;q");
    EXPECT_EQ(*BrowsableAddress("http://x/?a=1&b=2"), "http://x/?a=1&b=2");
}

}  // namespace
}  // namespace marl
