// The drop shadow: where its window goes, what it draws, when it shows, and how it is attached.
#include "ui/window_shadow.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QPointer>
#include <QTest>
#include <QWidget>
#include <functional>

namespace marl::ui {
namespace {

constexpr uint32_t kGrey = 0x00C0C0C0;

int AlphaAt(const QImage& image, int x, int y) { return qAlpha(image.pixel(x, y)); }

class ShadowTest : public ::testing::Test {
  protected:
    ShadowTest() : owner_(nullptr, Qt::FramelessWindowHint) { owner_.setGeometry(100, 100, 900, 600); }

    QWidget* Shadow() { return ShadowOf(&owner_); }
    // Window-system geometry changes may arrive as queued events.
    void ExpectShadowAt(const QRect& expected) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return Shadow()->geometry() == expected; }))
            << "shadow at " << Shadow()->geometry().x() << "," << Shadow()->geometry().y() << " "
            << Shadow()->width() << "x" << Shadow()->height();
    }
    int HookCount() {
        int hooks = 0;
        for (QObject* child : owner_.children()) hooks += child->isWidgetType() ? 0 : 1;
        return hooks;
    }

    QWidget owner_;
};

TEST_F(ShadowTest, SurroundsItsOwnerAndFollowsIt) {
    ASSERT_TRUE(AttachWindowShadow(&owner_, kGrey, 2));
    owner_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner_));
    ASSERT_TRUE(Shadow()->isVisible());
    ExpectShadowAt(QRect(98, 98, 904, 604));

    owner_.move(300, 200);
    ExpectShadowAt(QRect(298, 198, 904, 604));
    owner_.resize(1000, 700);
    ExpectShadowAt(QRect(298, 198, 1004, 704));
}

TEST_F(ShadowTest, IsAClickThroughWindowOwnedByItsOwnerAndNamedInItsProperties) {
    ASSERT_TRUE(AttachWindowShadow(&owner_, kGrey, 2));
    const QWidget* shadow = Shadow();
    ASSERT_NE(shadow, nullptr);
    EXPECT_TRUE(shadow->isWindow());
    EXPECT_EQ(shadow->parentWidget(), &owner_);  // destroyed with its owner
    EXPECT_TRUE(
        shadow->windowFlags().testFlags(Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus));
    EXPECT_EQ(owner_.property("Halo.WndShadow").value<QObject*>(), shadow);
    EXPECT_EQ(owner_.property("Halo.WndShadow.Proc").value<QObject*>(), ShadowHookOf(&owner_));
}

// Read from the shadow window itself: rings of alpha 50 and 100 along every straight edge, the
// owner's area untouched.
TEST_F(ShadowTest, DrawsTwoRingsAroundATransparentOwnerArea) {
    ASSERT_TRUE(AttachWindowShadow(&owner_, kGrey, 2));
    owner_.show();
    ExpectShadowAt(QRect(98, 98, 904, 604));
    const QImage image = Shadow()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.size(), QSize(904, 604));

    struct Probe {
        const char* where;
        QPoint outer, inner, inside;
    };
    for (const Probe& p :
         {Probe{"top", {452, 0}, {452, 1}, {452, 2}}, Probe{"bottom", {452, 603}, {452, 602}, {452, 601}},
          Probe{"left", {0, 302}, {1, 302}, {2, 302}}, Probe{"right", {903, 302}, {902, 302}, {901, 302}}}) {
        SCOPED_TRACE(p.where);
        EXPECT_EQ(AlphaAt(image, p.outer.x(), p.outer.y()), 50);
        EXPECT_EQ(AlphaAt(image, p.inner.x(), p.inner.y()), 100);
        EXPECT_EQ(AlphaAt(image, p.inside.x(), p.inside.y()), 0);
    }
    for (const QPoint corner : {QPoint(2, 2), QPoint(901, 2), QPoint(2, 601), QPoint(901, 601)}) {
        EXPECT_EQ(AlphaAt(image, corner.x(), corner.y()), 0);
    }
    const QColor ring = image.pixelColor(452, 1);
    EXPECT_NEAR(ring.red(), 192, 2);
    EXPECT_NEAR(ring.green(), 192, 2);
    EXPECT_NEAR(ring.blue(), 192, 2);
}

// Ring i from the outside has alpha step × i; the colour is read red-first from 0x00BBGGRR.
TEST(ShadowRings, AlphaStepsAndColourForEverySize) {
    struct Case {
        int size;
        int step;
        uint32_t colour;
        QColor expected;
    };
    for (const Case& c :
         {Case{1, 100, kGrey, QColor(192, 192, 192)}, Case{2, 50, 0x000000FF, QColor(255, 0, 0)},
          Case{8, 12, 0x00FF0000, QColor(0, 0, 255)}, Case{9, 16, 0x0000FF00, QColor(0, 255, 0)},
          Case{30, 5, kGrey, QColor(192, 192, 192)}}) {
        SCOPED_TRACE(c.size);
        EXPECT_EQ(ShadowAlphaStep(c.size), c.step);
        const QImage image = RenderShadowRings(QSize(200 + 2 * c.size, 100 + 2 * c.size), c.colour, c.size)
                                 .convertToFormat(QImage::Format_ARGB32);
        for (int i = 1; i <= c.size; ++i) {
            ASSERT_EQ(AlphaAt(image, 100, i - 1), c.step * i) << "ring " << i;
            ASSERT_EQ(AlphaAt(image, i - 1, 50), c.step * i) << "ring " << i;
        }
        EXPECT_EQ(AlphaAt(image, 100, c.size), 0);
        const QColor inner = image.pixelColor(100, c.size - 1);
        EXPECT_NEAR(inner.red(), c.expected.red(), 3);
        EXPECT_NEAR(inner.green(), c.expected.green(), 3);
        EXPECT_NEAR(inner.blue(), c.expected.blue(), 3);
    }
    EXPECT_EQ(ShadowAlphaStep(0), 0);
}

TEST_F(ShadowTest, HidesWhileTheOwnerIsHiddenMinimisedOrMaximised) {
    ASSERT_TRUE(AttachWindowShadow(&owner_, kGrey, 2));
    EXPECT_FALSE(Shadow()->isVisible());  // attached to a hidden owner

    struct Step {
        const char* what;
        std::function<void(QWidget&)> act;
        bool shadow_shown;
    };
    for (const Step& step : {Step{"show", [](QWidget& w) { w.show(); }, true},
                             Step{"minimise", [](QWidget& w) { w.showMinimized(); }, false},
                             Step{"restore", [](QWidget& w) { w.showNormal(); }, true},
                             Step{"maximise", [](QWidget& w) { w.showMaximized(); }, false},
                             Step{"restore", [](QWidget& w) { w.showNormal(); }, true},
                             Step{"hide", [](QWidget& w) { w.hide(); }, false},
                             Step{"show again", [](QWidget& w) { w.show(); }, true}}) {
        SCOPED_TRACE(step.what);
        step.act(owner_);
        EXPECT_TRUE(QTest::qWaitFor([&] { return Shadow()->isVisible() == step.shadow_shown; }));
        if (step.shadow_shown) ExpectShadowAt(owner_.frameGeometry().adjusted(-2, -2, 2, 2));
    }
}

TEST_F(ShadowTest, ASecondAttachChangesColourAndSizeWithoutASecondHook) {
    ASSERT_TRUE(AttachWindowShadow(&owner_, kGrey, 2));
    owner_.show();
    QWidget* shadow = Shadow();
    QObject* hook = ShadowHookOf(&owner_);
    ASSERT_NE(hook, nullptr);
    EXPECT_EQ(HookCount(), 1);

    ASSERT_TRUE(AttachWindowShadow(&owner_, 0x000000FF, 3));
    EXPECT_EQ(Shadow(), shadow);
    EXPECT_EQ(ShadowHookOf(&owner_), hook);
    EXPECT_EQ(HookCount(), 1);
    EXPECT_EQ(shadow->property("Halo.WndShadow.Color").toUInt(), 0x000000FFu);
    EXPECT_EQ(shadow->property("Halo.WndShadow.Size").toInt(), 3);
    ExpectShadowAt(owner_.frameGeometry().adjusted(-3, -3, 3, 3));
    const QImage image = shadow->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(AlphaAt(image, 400, 2), 99);  // 33 × 3 next to the owner
    EXPECT_EQ(image.pixelColor(400, 2).blue(), 0);
}

TEST_F(ShadowTest, ASizeBelowOneRemovesEverything) {
    ASSERT_TRUE(AttachWindowShadow(&owner_, kGrey, 2));
    owner_.show();
    QPointer<QWidget> shadow = Shadow();
    QPointer<QObject> hook = ShadowHookOf(&owner_);

    EXPECT_FALSE(AttachWindowShadow(&owner_, kGrey, 0));
    EXPECT_TRUE(shadow.isNull());
    EXPECT_TRUE(hook.isNull());
    EXPECT_FALSE(owner_.property("Halo.WndShadow").isValid());
    EXPECT_FALSE(owner_.property("Halo.WndShadow.Proc").isValid());
    EXPECT_EQ(HookCount(), 0);
    owner_.move(10, 10);  // nothing left that follows
    owner_.hide();

    EXPECT_FALSE(AttachWindowShadow(&owner_, kGrey, -1));  // removing twice is harmless
    EXPECT_FALSE(AttachWindowShadow(nullptr, kGrey, 2));
    ASSERT_TRUE(AttachWindowShadow(&owner_, kGrey, 2));  // and it can come back
    owner_.show();
    ExpectShadowAt(owner_.frameGeometry().adjusted(-2, -2, 2, 2));
}

}  // namespace
}  // namespace marl::ui
