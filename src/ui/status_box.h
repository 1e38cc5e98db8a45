#pragma once
#include <QPlainTextEdit>
#include <QString>

namespace marl::ui {

// The main window's status box `状态框`. Monitoring appends a line for every step, without end; the
// box keeps the last kMaxLines lines and drops older ones. A plan writes four lines a pass, and a
// pass over 50 plans at the default 200 s takes at least 240 s: 72,000 lines a day, so the box keeps
// more than a night and a day of them (`make bench` shows its memory when full). Line ends arrive as
// CR LF and are shown as line breaks.
class StatusBox : public QPlainTextEdit {
    Q_OBJECT
  public:
    static constexpr int kMaxLines = 100000;

    explicit StatusBox(QWidget* parent);

    // Puts the caret after the last character, inserts `text` there and scrolls it into view. The
    // user's selection is lost.
    void AppendStatus(const QString& text);
    // Appends a whole line (ending in CR LF) as AppendStatus does, after a line break of its own when the
    // text so far does not end with one.
    void AppendLine(const QString& line);
    // Replaces the whole text.
    void SetWholeText(const QString& text);
    // The whole text, line breaks as "\n".
    QString WholeText() const;

  private:
    // Runs the calls Qt has queued to this box (its scroll bars following the text) at once.
    void DeliverQueuedCalls();
};

}  // namespace marl::ui
