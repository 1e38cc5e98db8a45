#pragma once
#include <QAbstractButton>
#include <QPixmap>

namespace marl::ui {

// A flat button that shows one picture, centred, and another while the mouse is over it.
class ImageButton : public QAbstractButton {
    Q_OBJECT
  public:
    explicit ImageButton(QWidget* parent);

    void SetPictures(const QPixmap& normal, const QPixmap& hover);
    const QPixmap& normal_picture() const { return normal_; }
    const QPixmap& hover_picture() const { return hover_; }

    QSize sizeHint() const override { return QSize(32, 32); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    QPixmap normal_, hover_;
    bool hovered_ = false;
};

}  // namespace marl::ui
