#pragma once
#include <QLabel>

namespace marl::ui {

// A multi-line caption drawn one line every `pitch` pixels, whatever the font's own line spacing, so
// that each line stays beside the field it names. Lines are separated by CR LF or LF. Plain text.
class LineLabel : public QLabel {
    Q_OBJECT
  public:
    LineLabel(const QString& caption, int pitch, QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int pitch_;
};

}  // namespace marl::ui
