// The notification popup: its countdown tick by tick, its rows, hiding, placement and links.
#include "ui/notification_popup.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <functional>
#include <vector>

#include "support/gui/browser_stand_in.h"
#include "text/text.h"
#include "ui/window_shadow.h"

namespace marl::ui {
namespace {

class PopupTest : public ::testing::Test {
  protected:
    QLabel* Countdown() { return popup_.findChild<QLabel*>(QStringLiteral("倒计时")); }
    QTreeWidget* List() { return popup_.findChild<QTreeWidget*>(QStringLiteral("超级列表框_新文章")); }
    QTimer* Timer() { return popup_.findChild<QTimer*>(QStringLiteral("时钟1")); }
    QStringList Column(int column) {
        QStringList texts;
        for (int row = 0; row < List()->topLevelItemCount(); ++row) {
            texts << List()->topLevelItem(row)->text(column);
        }
        return texts;
    }
    void ClickList(QPoint at) { QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, at); }
    QPoint RowCentre(int row) { return List()->visualItemRect(List()->topLevelItem(row)).center(); }

    NotificationPopup popup_;
};

TEST_F(PopupTest, IsCreatedHiddenWithItsControlsInPlace) {
    EXPECT_FALSE(popup_.isVisible());
    EXPECT_EQ(popup_.size(), QSize(380, 200));

    struct Control {
        const char* name;
        QRect geometry;
    };
    for (const Control& control :
         {Control{"标签1", {0, 0, 80, 26}}, Control{"倒计时", {80, 0, 26, 26}},
          Control{"关闭", {360, 0, 20, 20}}, Control{"超级列表框_新文章", {2, 26, 380, 170}}}) {
        const auto* widget = popup_.findChild<QWidget*>(QString::fromUtf8(control.name));
        ASSERT_NE(widget, nullptr) << control.name;
        EXPECT_EQ(widget->geometry(), control.geometry) << control.name;
    }
    EXPECT_EQ(popup_.findChild<QLabel*>(QStringLiteral("标签1"))->text(), QStringLiteral("　最新信息"));
    EXPECT_EQ(Countdown()->text(), QString());
    EXPECT_EQ(List()->columnWidth(0), 360);
    EXPECT_TRUE(List()->isColumnHidden(1));
    ASSERT_NE(Timer(), nullptr);
    EXPECT_FALSE(Timer()->isActive());

    // Its own shadow, hidden with it until the first article.
    const QWidget* shadow = ShadowOf(&popup_);
    ASSERT_NE(shadow, nullptr);
    EXPECT_EQ(shadow->property(kShadowColorProperty).toUInt(), 0x00C0C0C0u);
    EXPECT_EQ(shadow->property(kShadowSizeProperty).toInt(), 2);
    EXPECT_FALSE(shadow->isVisible());
    // The window manager neither places nor stacks it: it can appear only around the popup.
    EXPECT_TRUE(shadow->windowFlags().testFlag(Qt::BypassWindowManagerHint));
    popup_.ShowArticle("a", "http://127.0.0.1/a");
    // It is shown after the popup's own window, never before, and only around it.
    EXPECT_FALSE(shadow->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return shadow->isVisible(); }));
    EXPECT_EQ(shadow->geometry(), popup_.frameGeometry().adjusted(-2, -2, 2, 2));
    for (const QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible()) {
            EXPECT_TRUE(popup_.frameGeometry().adjusted(-2, -2, 2, 2).contains(window->frameGeometry()))
                << window->objectName().toStdString();
        }
    }
    popup_.HidePopup();
    EXPECT_FALSE(shadow->isVisible());
}

// Each case: one article, some ticks, then an interruption (or none), then twenty more ticks. The
// caption keeps what it showed for three ticks, counts 16 down to 1, and the twentieth tick hides.
TEST_F(PopupTest, CountdownRunsTickByTick) {
    enum class Interruption { kNone, kSecondArticle, kClickInList };
    struct Case {
        const char* name;
        int ticks_before;
        Interruption interruption;
        QString caption_kept;  // what the first three ticks after the interruption show
    };
    for (const Case& c : {Case{"one article", 0, Interruption::kNone, ""},
                          Case{"second article at 10", 10, Interruption::kSecondArticle, "10"},
                          Case{"click at 5", 15, Interruption::kClickInList, ""}}) {
        SCOPED_TRACE(c.name);
        popup_.ShowArticle("first", "http://127.0.0.1/1");
        ASSERT_TRUE(popup_.isVisible());
        EXPECT_EQ(Countdown()->text(), QString());
        EXPECT_TRUE(Timer()->isActive());
        EXPECT_EQ(Timer()->interval(), 1000);
        for (int tick = 1; tick <= c.ticks_before; ++tick) popup_.CountdownStep();
        if (c.ticks_before > 0) {
            EXPECT_EQ(Countdown()->text(), QString::number(20 - c.ticks_before));
        }

        if (c.interruption == Interruption::kSecondArticle) {
            popup_.ShowArticle("second", "http://127.0.0.1/2");
            EXPECT_EQ(Column(0), QStringList({"first", "second"}));
        } else if (c.interruption == Interruption::kClickInList) {
            ClickList(QPoint(100, 150));  // below the only row: anywhere in the list counts
        }
        EXPECT_EQ(Countdown()->text(), c.caption_kept);
        EXPECT_EQ(popup_.Countdown(), 20);

        for (int tick = 1; tick <= 19; ++tick) {
            popup_.CountdownStep();
            const QString expected = tick <= 3 ? c.caption_kept : QString::number(20 - tick);
            ASSERT_EQ(Countdown()->text(), expected) << "tick " << tick;
            ASSERT_TRUE(popup_.isVisible()) << "tick " << tick;
        }
        popup_.CountdownStep();
        EXPECT_FALSE(popup_.isVisible());
        EXPECT_EQ(List()->topLevelItemCount(), 0);
        EXPECT_FALSE(Timer()->isActive());
    }
}

TEST_F(PopupTest, RowsKeepRecordingOrderAsPlainText) {
    popup_.ShowArticle(Gbk("新闻一"), "http://127.0.0.1/1");
    popup_.ShowArticle("<img src=x>", "http://127.0.0.1/2?a=1&amp;b=2");
    popup_.ShowArticle("third", "http://127.0.0.1/3");
    EXPECT_EQ(Column(0), QStringList({QStringLiteral("新闻一"), "<img src=x>", "third"}));
    EXPECT_EQ(Column(1),
              QStringList({"http://127.0.0.1/1", "http://127.0.0.1/2?a=1&amp;b=2", "http://127.0.0.1/3"}));
}

TEST_F(PopupTest, EveryWayOfClosingOnlyHidesAndEmpties) {
    struct Case {
        const char* name;
        std::function<void()> close;
    };
    for (const Case& c : {
             Case{"close button",
                  [this] {
                      QTest::mouseClick(popup_.findChild<QToolButton*>(QStringLiteral("关闭")),
                                        Qt::LeftButton);
                  }},
             Case{"Esc on the popup", [this] { QTest::keyClick(&popup_, Qt::Key_Escape); }},
             Case{"Esc in the list", [this] { QTest::keyClick(List(), Qt::Key_Escape); }},
             Case{"close request", [this] { EXPECT_FALSE(popup_.close()); }},
         }) {
        SCOPED_TRACE(c.name);
        QPointer<NotificationPopup> alive(&popup_);
        popup_.ShowArticle("old", "http://127.0.0.1/old");
        popup_.ShowArticle("older", "http://127.0.0.1/older");
        c.close();
        EXPECT_FALSE(popup_.isVisible());
        EXPECT_EQ(List()->topLevelItemCount(), 0);
        EXPECT_FALSE(Timer()->isActive());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_FALSE(alive.isNull());

        // The next article starts a fresh list with a fresh countdown.
        popup_.ShowArticle("new", "http://127.0.0.1/new");
        EXPECT_TRUE(popup_.isVisible());
        EXPECT_EQ(Column(0), QStringList({"new"}));
        EXPECT_EQ(Countdown()->text(), QString());
        popup_.HidePopup();
    }
}

TEST_F(PopupTest, DoubleClickOpensOnlyWebAddresses) {
    test::BrowserStandIn browser;
    popup_.ShowArticle("web", "http://127.0.0.1/list.php?id=1&amp;p=2");
    popup_.ShowArticle("local file", "file:///etc/passwd");
    popup_.ShowArticle("script", "javascript:alert(1)");
    popup_.ShowArticle("secure", "HTTPS://127.0.0.1/s");

    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, QPoint(100, 150));  // nothing selected
    EXPECT_TRUE(browser.opened.empty());
    for (int row = 0; row < 4; ++row) {
        ClickList(RowCentre(row));
        QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, RowCentre(row));
    }
    ASSERT_EQ(browser.opened.size(), 2u);
    EXPECT_EQ(browser.opened[0].toString(), "http://127.0.0.1/list.php?id=1&p=2");
    EXPECT_EQ(browser.opened[1].toString(), "https://127.0.0.1/s");
    EXPECT_TRUE(popup_.isVisible());  // opening leaves the popup up
    EXPECT_EQ(List()->topLevelItemCount(), 4);
}

TEST_F(PopupTest, DragsByItsBackgroundOnly) {
    popup_.ShowArticle("a", "http://127.0.0.1/a");
    const QPoint start = popup_.pos();
    QTest::mousePress(&popup_, Qt::LeftButton, {}, QPoint(200, 10));
    QTest::mouseMove(&popup_, QPoint(170, 4));
    QTest::mouseRelease(&popup_, Qt::LeftButton, {}, QPoint(170, 4));
    EXPECT_EQ(popup_.pos(), start + QPoint(-30, -6));

    const QPoint moved = popup_.pos();
    QTest::mousePress(&popup_, Qt::LeftButton, {}, QPoint(40, 10));  // on the caption label
    QTest::mouseMove(&popup_, QPoint(10, 4));
    QTest::mouseRelease(&popup_, Qt::LeftButton, {}, QPoint(10, 4));
    EXPECT_EQ(popup_.pos(), moved);
}

TEST(PopupPlacement, EightyPixelsInFromTheScreensBottomRight) {
    struct Case {
        QRect screen;
        QPoint expected;
    };
    for (const Case& c : {Case{{0, 0, 1920, 1080}, {1460, 800}}, Case{{0, 0, 1280, 1024}, {820, 744}},
                          Case{{1920, 0, 1280, 1024}, {2740, 744}}, Case{{0, 0, 400, 300}, {-60, 20}}}) {
        EXPECT_EQ(PopupPlacement(c.screen, QSize(380, 200)), c.expected) << c.screen.width();
    }
    NotificationPopup popup;
    EXPECT_EQ(popup.pos(), PopupPlacement(QGuiApplication::primaryScreen()->geometry(), QSize(380, 200)));
}

}  // namespace
}  // namespace marl::ui
