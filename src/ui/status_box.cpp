#include "ui/status_box.h"

#include <QCoreApplication>
#include <QEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace marl::ui {
namespace {

// CR LF and a lone CR both break the line, as they do in the platform's edit box.
QString WithLineBreaks(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

}  // namespace

void StatusBox::DeliverQueuedCalls() {
    // Every change of the scroll range queues a call to this box that shows or hides its scroll
    // bars; the call and its arguments live on the heap until an event loop delivers them. Lines can
    // arrive without the loop getting a turn in between (a burst from one task, or no loop at all),
    // and once the box is full every line changes the range twice (the new line, the dropped one),
    // so the calls would pile up by the hundred thousand. Delivering them here, as the loop would,
    // keeps the box's memory flat however many lines follow.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

StatusBox::StatusBox(QWidget* parent) : QPlainTextEdit(parent) {
    setMaximumBlockCount(kMaxLines);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
}

void StatusBox::AppendStatus(const QString& text) {
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
    ensureCursorVisible();
    insertPlainText(WithLineBreaks(text));
    ensureCursorVisible();
    DeliverQueuedCalls();
}

void StatusBox::AppendLine(const QString& line) {
    // An empty last block is one that a line break has just closed (or an empty box).
    const bool open_line = document()->lastBlock().length() > 1;
    AppendStatus(open_line ? QStringLiteral("\r\n") + line : line);
}

void StatusBox::SetWholeText(const QString& text) {
    setPlainText(WithLineBreaks(text));
    DeliverQueuedCalls();
}

QString StatusBox::WholeText() const { return toPlainText(); }

}  // namespace marl::ui
