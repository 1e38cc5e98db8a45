#include "ui/notification_popup.h"

namespace marl::ui {

// Placeholder until the popup is built: keeps the program whole.
NotificationPopup::NotificationPopup(QWidget* parent) : QWidget(parent) {}

void NotificationPopup::ShowArticle(const Text&, const Text&) {}

void NotificationPopup::HidePopup() { hide(); }

}  // namespace marl::ui
