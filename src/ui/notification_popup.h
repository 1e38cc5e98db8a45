#pragma once
#include <QWidget>

#include "text/text.h"

namespace marl::ui {

// The small window at the bottom right of the screen that lists the articles recorded while it is
// open and hides itself after a countdown of 20 one-second ticks. Created once, hidden, at start-up;
// closing it only hides it. UI thread only: the monitor's calls are carried here by the UI port.
class NotificationPopup : public QWidget {
    Q_OBJECT
  public:
    explicit NotificationPopup(QWidget* parent = nullptr);

    // Appends a row (title, link; GBK) and restarts the countdown; shows the popup when hidden.
    void ShowArticle(const Text& title, const Text& link);
    // Hides the popup, stops the countdown and empties the list.
    void HidePopup();
};

}  // namespace marl::ui
