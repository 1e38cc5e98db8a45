#include "ui/status_box.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <QTextCursor>

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

}  // namespace
}  // namespace marl::ui
