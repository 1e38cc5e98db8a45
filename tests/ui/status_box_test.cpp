#include "ui/status_box.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QStringList>
#include <QTextCursor>
#include <functional>

namespace marl::ui {
namespace {

TEST(StatusBox, AppendsAtTheEndInOrderWhateverIsSelected) {
    StatusBox box(nullptr);
    box.SetWholeText(QStringLiteral("start"));
    // A selection at the front is dropped: the line goes to the end.
    QTextCursor cursor = box.textCursor();
    cursor.setPosition(0);
    cursor.setPosition(3, QTextCursor::KeepAnchor);
    box.setTextCursor(cursor);
    box.AppendStatus(QStringLiteral("[ a ] one\r\n"));
    box.AppendStatus(QStringLiteral("[ b ] two\r\n"));
    box.AppendStatus(QStringLiteral("[ c ] \r\n"));
    EXPECT_EQ(box.WholeText(), QStringLiteral("start[ a ] one\n[ b ] two\n[ c ] \n"));
    EXPECT_FALSE(box.textCursor().hasSelection());
    EXPECT_TRUE(box.textCursor().atEnd());
}

TEST(StatusBox, WholeTextReplacesAndLineEndsBreakLines) {
    struct Case {
        QString given, shown;
    };
    const Case cases[] = {
        {QStringLiteral("title\r\nhttp://x/"), QStringLiteral("title\nhttp://x/")},
        {QStringLiteral("a\rb\nc"), QStringLiteral("a\nb\nc")},
        {QStringLiteral("<b>not bold</b>"), QStringLiteral("<b>not bold</b>")},
        {QString(), QString()},
    };
    StatusBox box(nullptr);
    for (const Case& c : cases) {
        box.AppendStatus(QStringLiteral("old line\r\n"));
        box.SetWholeText(c.given);
        EXPECT_EQ(box.WholeText(), c.shown);
    }
}

TEST(StatusBox, AppendedLineStartsOnALineOfItsOwn) {
    struct Case {
        QString before, after;
    };
    const Case cases[] = {
        {QString(), QStringLiteral("[ t ] x\n")},
        {QStringLiteral("title\r\nhttp://x/"), QStringLiteral("title\nhttp://x/\n[ t ] x\n")},
        {QStringLiteral("[ s ] y\r\n"), QStringLiteral("[ s ] y\n[ t ] x\n")},
    };
    StatusBox box(nullptr);
    for (const Case& c : cases) {
        box.SetWholeText(c.before);
        box.AppendLine(QStringLiteral("[ t ] x\r\n"));
        EXPECT_EQ(box.WholeText(), c.after) << c.before.toStdString();
    }
}

TEST(StatusBox, KeepsOnlyTheLastLines) {
    // A day of 50 plans at the default 200 s: at most 360 passes (each at least 200 s plus 50 pauses
    // of 0.8 s) of four lines per plan. The night must still be there in the morning.
    EXPECT_GE(StatusBox::kMaxLines, 360 * 50 * 4);

    StatusBox box(nullptr);
    box.SetWholeText(QStringLiteral("first"));
    const int total = StatusBox::kMaxLines + 500;
    // Lines arrive a hundred at a time here, only to keep the test quick.
    for (int i = 1; i <= total; i += 100) {
        QString lines;
        for (int j = i; j < i + 100 && j <= total; ++j) lines += QStringLiteral("\r\nline %1").arg(j);
        box.AppendStatus(lines);
    }
    const QStringList lines = box.WholeText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), StatusBox::kMaxLines);
    EXPECT_EQ(lines.front(), QStringLiteral("line %1").arg(total - StatusBox::kMaxLines + 1));
    EXPECT_EQ(lines.back(), QStringLiteral("line %1").arg(total));
}

// Counts the queued calls that reach one object.
class QueuedCallCounter : public QObject {
  public:
    int count = 0;
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::MetaCall) ++count;
        return false;
    }
};

TEST(StatusBox, LeavesNoQueuedCallsBehindWhenTheLoopGetsNoTurn) {
    // Each change of the scroll range queues a call to the box; calls left for an event loop that
    // does not turn between lines pile up, 11 MB per 100,000 lines once the box is full.
    struct Case {
        const char* name;
        std::function<void(StatusBox&, int)> write;
    };
    const Case cases[] = {
        {"AppendStatus",
         [](StatusBox& box, int i) { box.AppendStatus(QStringLiteral("[ t ] line %1\r\n").arg(i)); }},
        {"AppendLine", [](StatusBox& box, int i) { box.AppendLine(QStringLiteral("[ t ] line %1").arg(i)); }},
        {"SetWholeText",
         [](StatusBox& box, int i) { box.SetWholeText(QStringLiteral("title\r\n").repeated(i % 7)); }},
    };
    for (const Case& c : cases) {
        StatusBox box(nullptr);
        box.resize(620, 40);
        QCoreApplication::sendPostedEvents(&box, QEvent::MetaCall);
        QueuedCallCounter counter;
        box.installEventFilter(&counter);
        for (int i = 0; i < 200; ++i) c.write(box, i);
        const int delivered_while_writing = counter.count;
        counter.count = 0;
        QCoreApplication::sendPostedEvents(&box, QEvent::MetaCall);
        EXPECT_EQ(counter.count, 0) << c.name;
        // The calls did run, so the scroll bar follows the text.
        EXPECT_GT(delivered_while_writing, 0) << c.name;
    }
}

TEST(StatusBox, AFullBoxLeavesNoQueuedCallsBehindAndStaysAtTheEnd) {
    StatusBox box(nullptr);
    box.resize(620, 40);
    QString lines;
    for (int j = 1; j <= StatusBox::kMaxLines; ++j) lines += QStringLiteral("line %1\r\n").arg(j);
    box.SetWholeText(lines);
    QueuedCallCounter counter;
    box.installEventFilter(&counter);
    // Full: every line now drops the oldest one.
    for (int i = 1; i <= 300; ++i) box.AppendStatus(QStringLiteral("more %1\r\n").arg(i));
    counter.count = 0;
    QCoreApplication::sendPostedEvents(&box, QEvent::MetaCall);
    EXPECT_EQ(counter.count, 0);
    EXPECT_EQ(box.blockCount(), StatusBox::kMaxLines);
    EXPECT_TRUE(box.WholeText().endsWith(QStringLiteral("more 300\n")));
    EXPECT_TRUE(box.textCursor().atEnd());
    // The end is in view.
    EXPECT_TRUE(box.viewport()->rect().contains(box.cursorRect()));
}

}  // namespace
}  // namespace marl::ui
