#include "ui/qt_monitor_ui.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QThread>
#include <utility>

#include "ui/article_list.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/notification_popup.h"
#include "ui/qt_text.h"
#include "ui/status_box.h"

namespace marl::ui {

QtMonitorUi::QtMonitorUi(MainWindow& window, QObject* parent) : QObject(parent), window_(window) {}

template <typename Work>
void QtMonitorUi::OnUiThread(Work&& work) {
    if (detached_) return;
    if (QThread::currentThread() == thread()) {
        work();
        return;
    }
    // Blocks the worker until the UI thread has run `work`; queued calls run in the order made.
    QMetaObject::invokeMethod(
        this,
        [this, &work] {
            if (!detached_) work();
        },
        Qt::BlockingQueuedConnection);
}

void QtMonitorUi::SetPopup(NotificationPopup* popup) { popup_ = popup; }

void QtMonitorUi::Detach() { detached_ = true; }

void QtMonitorUi::AppendStatus(const Text& line) {
    OnUiThread([&] { window_.status_box()->AppendStatus(ToQString(line)); });
}

void QtMonitorUi::InsertArticleRow(int32_t, const Text& plan_name, const Text& title, const Text& address,
                                   const Text& short_time) {
    OnUiThread([&] {
        window_.article_list()->InsertArticleRow(ToQString(plan_name), ToQString(title), ToQString(address),
                                                 ToQString(short_time));
    });
}

void QtMonitorUi::ShowArticle(const Text& title, const Text& address) {
    OnUiThread([&] {
        if (popup_) popup_->ShowArticle(title, address);
    });
}

Text QtMonitorUi::FrequencyText() {
    Text text;
    OnUiThread([&] { text = FromQString(window_.frequency_box()->text()); });
    return text;
}

Text QtMonitorUi::StartCaption() {
    Text caption;
    OnUiThread([&] { caption = FromQString(window_.start_button()->text()); });
    return caption;
}

void QtMonitorUi::SetStartCaption(const Text& caption) {
    OnUiThread([&] { window_.start_button()->setText(ToQString(caption)); });
}

void QtMonitorUi::SetStartEnabled(bool enabled) {
    OnUiThread([&] { window_.start_button()->setEnabled(enabled); });
}

void QtMonitorUi::SetClipboard(const Text& text) {
    OnUiThread([&] {
        // A plan's filter hands over the same expression for every link it checks: taking the
        // clipboard again for an unchanged text would only churn the desktop's clipboard owner.
        QClipboard* clipboard = QGuiApplication::clipboard();
        const QString value = ToQString(text);
        if (clipboard->text() != value) clipboard->setText(value);
    });
}

void QtMonitorUi::ShowMessage(const Text& text) {
    OnUiThread([&] { ShowMessageBox(&window_, ToQString(text)); });
}

}  // namespace marl::ui
