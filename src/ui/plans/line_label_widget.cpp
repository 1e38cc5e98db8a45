#include "ui/plans/line_label_widget.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRegularExpression>
#include <QStringList>

namespace marl::ui {

LineLabel::LineLabel(const QString& caption, int pitch, QWidget* parent) : QLabel(parent), pitch_(pitch) {
    setTextFormat(Qt::PlainText);
    setText(caption);
}

void LineLabel::paintEvent(QPaintEvent*) {
    static const QRegularExpression kLineBreak(QStringLiteral("\r\n|\n"));
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    const QFontMetrics metrics(font());
    // The baseline that centres the font's ascent and descent in a line of `pitch_` pixels.
    const int baseline = (pitch_ + metrics.ascent() - metrics.descent()) / 2;
    const QStringList lines = text().split(kLineBreak);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        painter.drawText(QPoint(0, static_cast<int>(i) * pitch_ + baseline), lines[i]);
    }
}

}  // namespace marl::ui
