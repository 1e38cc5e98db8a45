#pragma once
#include <QPlainTextEdit>
#include <QString>

namespace marl::ui {

// The main window's status box `状态框`. Monitoring appends a line for every step, without end; the
// box keeps the last kMaxLines lines and drops older ones, so a run of weeks cannot grow it without
// bound. Line ends arrive as CR LF and are shown as line breaks.
class StatusBox : public QPlainTextEdit {
    Q_OBJECT
  public:
    static constexpr int kMaxLines = 1000;

    explicit StatusBox(QWidget* parent);

    // Puts the caret after the last character, inserts `text` there and scrolls it into view. The
    // user's selection is lost.
    void AppendStatus(const QString& text);
    // Replaces the whole text.
    void SetWholeText(const QString& text);
    // The whole text, line breaks as "\n".
    QString WholeText() const;
};

}  // namespace marl::ui
