#pragma once
#include <QFrame>
#include <QLabel>
#include <QPoint>
#include <QPointer>
#include <QSize>

class QMouseEvent;

namespace marl::ui {

// Moves a frameless window with the mouse. The platform's own move loop is used where the platform
// has one (QWindow::startSystemMove); elsewhere the window follows the mouse by hand until the
// button is released.
class WindowDrag {
  public:
    // A left-button press at `global` (screen coordinates) on something that drags `window`.
    void Press(QWidget* window, const QPoint& global);
    // A mouse move with the left button held.
    void Move(const QPoint& global);
    void Release();
    bool active() const { return active_; }

  private:
    QPointer<QWidget> window_;
    QPoint press_global_;
    QPoint window_start_;
    bool active_ = false;
    bool by_hand_ = false;
};

// The title bar `外形框_top`: moving the mouse over it with the left button held drags the window,
// a double-click maximises or restores it. Its labels and pictures let the mouse through to it.
class TitleBar : public QFrame {
    Q_OBJECT
  public:
    explicit TitleBar(QWidget* parent);

  signals:
    void DoubleClicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    WindowDrag drag_;
};

// The resize grip `窗口大小控制` (a grey "┛"): pressing the left button on it sizes the window from
// its bottom-right corner, with the platform's own size loop where there is one, else by hand. The
// window's minimum and maximum sizes bound the result.
class ResizeGrip : public QLabel {
    Q_OBJECT
  public:
    explicit ResizeGrip(QWidget* parent);

  signals:
    // Emitted on the press, before the sizing starts.
    void Pressed();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    bool by_hand_ = false;
    QPoint press_global_;
    QSize window_start_;
};

}  // namespace marl::ui
