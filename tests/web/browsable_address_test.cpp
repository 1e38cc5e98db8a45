// Which stored article links may reach the browser, and in what spelling.
#include "web/browsable_address.h"

#include <gtest/gtest.h>

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

TEST(BrowsableAddress, AttributeAmpersandsAreReadAsAmpersands) {
    EXPECT_EQ(*BrowsableAddress("http://x/a.php?id=1&amp;page=2&amp;amp;q"),
              "http://x/a.php?id=1&page=2&amp;q");
    EXPECT_EQ(*BrowsableAddress("http://x/?a=1&b=2"), "http://x/?a=1&b=2");
}

}  // namespace
}  // namespace marl
