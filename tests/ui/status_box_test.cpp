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

TEST(StatusBox, KeepsOnlyTheLastLines) {
    StatusBox box(nullptr);
    box.SetWholeText(QStringLiteral("first"));
    const int total = StatusBox::kMaxLines + 500;
    for (int i = 1; i <= total; ++i) box.AppendStatus(QStringLiteral("\r\nline %1").arg(i));
    const QStringList lines = box.WholeText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), StatusBox::kMaxLines);
    EXPECT_EQ(lines.front(), QStringLiteral("line %1").arg(total - StatusBox::kMaxLines + 1));
    EXPECT_EQ(lines.back(), QStringLiteral("line %1").arg(total));
}

}  // namespace
}  // namespace marl::ui
