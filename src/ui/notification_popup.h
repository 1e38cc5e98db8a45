#pragma once
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <functional>
#include <utility>

#include "text/text.h"

class QLabel;
class QTimer;
class QToolButton;
class QTreeWidget;

namespace marl::ui {

// Where the popup goes: 80 pixels in from the right and bottom edges of the whole screen (not the
// work area), counted from the screen's own corner.
QPoint PopupPlacement(const QRect& screen, QSize popup);

// The small window at the bottom right of the screen that lists the articles recorded while it is
// open and hides itself after a countdown of 20 one-second ticks. Created once, hidden, at start-up;
// closing it only hides it. UI thread only: the monitor's calls are carried here by the UI port.
// Its controls carry their template names as objectName: 标签1, 倒计时, 关闭, 超级列表框_新文章, 时钟1.
class NotificationPopup : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kWidth = 380;
    static constexpr int kHeight = 200;
    static constexpr int kCountdownTicks = 20;
    static constexpr int kTickMilliseconds = 1000;

    explicit NotificationPopup(QWidget* parent = nullptr);

    // Appends a row (title, link; GBK) and restarts the countdown; shows the popup when hidden.
    // `list_address` is the list page of the plan that found it (see OpenArticle).
    void ShowArticle(const Text& title, const Text& link, const Text& list_address = {});
    // What a double-click on a row does with its stored link and its plan's list-page address. The
    // program hands in the main window's open, which resolves a link without a scheme and reports one
    // it cannot open; without one the link is opened as stored.
    using OpenArticle = std::function<void(const Text& stored, const Text& list_address)>;
    void SetOpenArticle(OpenArticle open) { open_article_ = std::move(open); }
    // Hides the popup, stops the countdown and empties the list.
    void HidePopup();
    // Ticks left before the popup hides itself.
    int Countdown() const { return countdown_; }

  public slots:
    // One tick of 时钟1: counts down, shows the last 16 values, hides the popup at 0.
    void CountdownStep();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void RestartCountdown();
    void OpenSelectedArticle();

    QLabel* caption_ = nullptr;
    QLabel* countdown_label_ = nullptr;
    QToolButton* close_button_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QTimer* timer_ = nullptr;
    OpenArticle open_article_;
    int countdown_ = 0;
    // A drag by the background when the window system has no move loop of its own to offer.
    bool dragging_ = false;
    QPoint drag_offset_;
};

}  // namespace marl::ui
