// The size limit: the bounds a window can be resized to, changed through its properties and removed
// on request.
#include "ui/size_limit.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

namespace marl::ui {
namespace {

TEST(SizeLimit, HoldsTheWindowBetweenItsBounds) {
    QWidget window(nullptr, Qt::FramelessWindowHint);
    AttachSizeLimit(&window, 900, 600, 1920, 1080);
    EXPECT_EQ(window.minimumSize(), QSize(900, 600));
    EXPECT_EQ(window.maximumSize(), QSize(1920, 1080));
    struct Case {
        QSize asked, got;
    };
    for (const Case& c : {Case{{100, 100}, {900, 600}}, Case{{5000, 5000}, {1920, 1080}},
                          Case{{1000, 500}, {1000, 600}}, Case{{1200, 800}, {1200, 800}}}) {
        window.resize(c.asked);
        EXPECT_EQ(window.size(), c.got) << c.asked.width() << "x" << c.asked.height();
    }
    EXPECT_EQ(window.property("minimum width").toInt(), 900);
    EXPECT_EQ(window.property("maximum height").toInt(), 1080);

    window.setProperty("minimum width", 1000);  // the properties are the limits
    EXPECT_EQ(window.minimumWidth(), 1000);
    EXPECT_EQ(window.width(), 1200);
}

TEST(SizeLimit, ASecondAttachReplacesTheBoundsWithOneHook) {
    QWidget window;
    AttachSizeLimit(&window, 900, 600, 1920, 1080);
    QObject* hook = SizeLimitHookOf(&window);
    ASSERT_NE(hook, nullptr);
    AttachSizeLimit(&window, 300, 200, 800, 700);
    EXPECT_EQ(SizeLimitHookOf(&window), hook);
    EXPECT_EQ(window.findChildren<SizeLimitHook*>().size(), 1);
    EXPECT_EQ(window.minimumSize(), QSize(300, 200));
    EXPECT_EQ(window.maximumSize(), QSize(800, 700));
    AttachSizeLimit(nullptr, 1, 1, 2, 2);  // no window: nothing happens
}

TEST(SizeLimit, CancellingPutsTheFormerBoundsBack) {
    QWidget window;
    window.setMinimumSize(50, 40);
    AttachSizeLimit(&window, 900, 600, 1920, 1080);
    QPointer<QObject> hook = SizeLimitHookOf(&window);

    window.setProperty("Cancel the limit", 1);
    EXPECT_EQ(window.minimumSize(), QSize(50, 40));
    EXPECT_EQ(window.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    for (const char* name : {"minimum width", "minimum height", "maximum width", "maximum height",
                             "Limit size", "Cancel the limit"}) {
        EXPECT_FALSE(window.property(name).isValid()) << name;
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(hook.isNull());
    window.resize(60, 60);
    EXPECT_EQ(window.size(), QSize(60, 60));

    AttachSizeLimit(&window, 100, 100, 200, 200);  // a new limit after a cancel
    EXPECT_EQ(window.size(), QSize(100, 100));
}

}  // namespace
}  // namespace marl::ui
