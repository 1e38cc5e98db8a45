#include "ui/status_box.h"

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
}

void StatusBox::AppendLine(const QString& line) {
    // An empty last block is one that a line break has just closed (or an empty box).
    const bool open_line = document()->lastBlock().length() > 1;
    AppendStatus(open_line ? QStringLiteral("\r\n") + line : line);
}

void StatusBox::SetWholeText(const QString& text) { setPlainText(WithLineBreaks(text)); }

QString StatusBox::WholeText() const { return toPlainText(); }

}  // namespace marl::ui
