// Which address a stored article link is opened as.
#include "web/article_address.h"

#include <gtest/gtest.h>

namespace marl {
namespace {

TEST(ResolveArticleAddress, SchemeLessLinksResolveAgainstTheListPage) {
    struct Case {
        const char* stored;
        const char* list;
        const char* opened;
    } const cases[] = {
        // A plan saved without 补上域名 records the link as the page wrote it.
        {"/np/2.html", "http://host/np/index.html", "http://host/np/2.html"},
        {"/np/2.html", "https://host:8443/list?p=1", "https://host:8443/np/2.html"},
        {"2.html", "http://host/np/index.html", "http://host/np/2.html"},
        {"2.html", "http://host/np/", "http://host/np/2.html"},
        {"2.html", "http://host", "http://host/2.html"},
        {"2.html", "http://host?x=1", "http://host/2.html"},
        {"./2.html", "http://host/np/list.html", "http://host/np/2.html"},
        {"../a/2.html", "http://host/np/b/list.html", "http://host/np/a/2.html"},
        {"../../../2.html", "http://host/np/list.html", "http://host/2.html"},
        {"show.php?id=1&amp;p=2", "http://host/np/list.php?page=3", "http://host/np/show.php?id=1&amp;p=2"},
        {"?id=7", "http://host/np/list.php?page=3", "http://host/np/list.php?id=7"},
        {"#top", "http://host/np/list.html#x", "http://host/np/list.html#top"},
        {"//cdn.host/2.html", "https://host/list", "https://cdn.host/2.html"},
        // The list address is fetched as http when it names no scheme, so it resolves so.
        {"/np/2.html", "host/np/list.html", "http://host/np/2.html"},
        // A link that names its scheme is left as it is (whether it may be opened is decided later).
        {"http://other/2.html", "http://host/list", "http://other/2.html"},
        {"HTTPS://other/2.html", "http://host/list", "HTTPS://other/2.html"},
        {"javascript:void(0)", "http://host/list", "javascript:void(0)"},
        // Nothing to resolve against, or nothing to resolve.
        {"/np/2.html", "", "/np/2.html"},
        {"", "http://host/list", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ResolveArticleAddress(c.stored, c.list), c.opened) << c.stored << " on " << c.list;
    }
}

}  // namespace
}  // namespace marl
