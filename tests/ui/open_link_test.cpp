// Opening article links: what reaches the browser, through Qt's own URL handler seam.
#include "ui/open_link.h"

#include <gtest/gtest.h>

#include <QObject>
#include <QUrl>
#include <vector>

#include "support/gui/browser_stand_in.h"
#include "text/text.h"
#include "ui/qt_text.h"

namespace marl::ui {
namespace {

class OpenLinkTest : public ::testing::Test {
  protected:
    test::BrowserStandIn browser_;
};

TEST_F(OpenLinkTest, WebAddressesReachTheBrowserWithPlainAmpersands) {
    OpenWebAddress("http://127.0.0.1/list.php?id=1&amp;p=2");
    OpenWebAddress(Gbk("https://例子.测试/新闻/1.html"));
    ASSERT_EQ(browser_.opened.size(), 2u);
    EXPECT_EQ(browser_.opened[0].toString(), "http://127.0.0.1/list.php?id=1&p=2");
    EXPECT_EQ(browser_.opened[1].scheme(), "https");
    EXPECT_EQ(browser_.opened[1].path(), QStringLiteral("/新闻/1.html"));
}

TEST_F(OpenLinkTest, CharactersGbkLacksReachTheBrowserFromTheirReferences) {
    OpenWebAddress("http://127.0.0.1/t/&#128512;.html?k=&#54620;&amp;p=2");
    ASSERT_EQ(browser_.opened.size(), 1u);
    EXPECT_EQ(browser_.opened[0].path(), QStringLiteral("/t/\U0001F600.html"));
    EXPECT_EQ(browser_.opened[0].query(QUrl::FullyDecoded), QStringLiteral("k=\uD55C&p=2"));
}

TEST_F(OpenLinkTest, AnythingElseIsIgnored) {
    OpenWebAddress("file:///etc/passwd");
    OpenWebAddress("/bin/sh");
    OpenWebAddress("");
    EXPECT_TRUE(browser_.opened.empty());
}

TEST(QtText, GbkRoundTripsThroughQString) {
    const Text gbk = Gbk("Marl网站资讯监控提醒工具 €");
    EXPECT_EQ(ToQString(gbk), QStringLiteral("Marl网站资讯监控提醒工具 €"));
    EXPECT_EQ(FromQString(ToQString(gbk)), gbk);
    EXPECT_EQ(FromQString(QStringLiteral("emoji \U0001F600")), "emoji ?");
}

}  // namespace
}  // namespace marl::ui
