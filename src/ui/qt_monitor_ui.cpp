#include "ui/qt_monitor_ui.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <utility>

#include "ui/article_list.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/notification_popup.h"
#include "ui/qt_text.h"
#include "ui/status_box.h"
#include "ui/tsan_marks.h"

namespace marl::ui {

namespace {

const QEvent::Type kHandOffEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// The worker's side of one call: it waits until the event carrying the call is gone, whether the
// UI thread ran it or Qt dropped it unrun (its receiver deleted), so a worker never waits forever.
class HandOff {
  public:
    // Notifies under the lock: the waiting worker owns this object and may end it the moment it
    // sees finished_, so nothing may touch it after the lock is given up.
    void Finish() {
        const std::lock_guard lock(mutex_);
        finished_ = true;
        finished_changed_.notify_one();
    }
    void Wait() {
        std::unique_lock lock(mutex_);
        finished_changed_.wait(lock, [this] { return finished_; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable finished_changed_;
    bool finished_ = false;
};

class HandOffEvent final : public QEvent {
  public:
    HandOffEvent(std::function<void()> work, HandOff& hand_off)
        : QEvent(kHandOffEvent), work_(std::move(work)), hand_off_(hand_off) {
        TsanRelease(this);
    }
    // Also reached without Run when Qt drops the event unrun (its receiver deleted).
    ~HandOffEvent() override {
        TsanAcquire(this);
        hand_off_.Finish();
    }
    HandOffEvent(const HandOffEvent&) = delete;
    HandOffEvent& operator=(const HandOffEvent&) = delete;

    // The receiver has acquired the event already (QtMonitorUi::event).
    void Run() { work_(); }

  private:
    std::function<void()> work_;
    HandOff& hand_off_;
};

}  // namespace

QtMonitorUi::QtMonitorUi(MainWindow& window, QObject* parent) : QObject(parent), window_(window) {}

template <typename Work>
void QtMonitorUi::OnUiThread(Work&& work) {
    if (detached_) return;
    if (QThread::currentThread() == thread()) {
        work();
        return;
    }
    // Blocks the worker until the UI thread has run `work`; posted calls run in the order made.
    HandOff hand_off;
    QCoreApplication::postEvent(this, new HandOffEvent(
                                          [this, &work] {
                                              if (!detached_) work();
                                          },
                                          hand_off));
    hand_off.Wait();
}

bool QtMonitorUi::event(QEvent* event) {
    // Before anything of ours reads the event, its type included: a hand-off event was made on the
    // worker, and the queue that carried it here is Qt's, which ThreadSanitizer cannot see into. For
    // any other event this marks nothing.
    TsanAcquire(event);
    if (event->type() != kHandOffEvent) return QObject::event(event);
    static_cast<HandOffEvent*>(event)->Run();
    return true;
}

void QtMonitorUi::SetPopup(NotificationPopup* popup) {
    popup_ = popup;
    if (popup_) {
        popup_->SetOpenArticle([this](const Text& stored, const Text& list_address) {
            window_.OpenArticle(stored, list_address);
        });
    }
}

Text QtMonitorUi::ListAddressOf(int32_t position, const Text& plan_name) const {
    if (plans_ == nullptr) return {};
    const PlanListPtr plans = plans_->Get();
    const PlanRecord* plan = plans->At(position);
    // A reload since the worker took its list may have moved the plan: then the address is unknown.
    return plan != nullptr && plan->name == plan_name ? plan->url : Text();
}

void QtMonitorUi::Detach() { detached_ = true; }

void QtMonitorUi::AppendStatus(const Text& line) {
    OnUiThread([&] { window_.status_box()->AppendStatus(ToQString(line)); });
}

void QtMonitorUi::InsertArticleRow(int32_t position, const Text& plan_name, const Text& title,
                                   const Text& address, const Text& short_time) {
    OnUiThread([&] {
        last_address_ = address;
        last_list_address_ = ListAddressOf(position, plan_name);
        window_.article_list()->InsertArticleRow(ToQString(plan_name), ToQString(title), ToQString(address),
                                                 ToQString(short_time), ToQString(last_list_address_));
    });
}

void QtMonitorUi::ShowArticle(const Text& title, const Text& address) {
    OnUiThread([&] {
        // The recorder hands each article to the list and then to the popup.
        if (popup_)
            popup_->ShowArticle(title, address, address == last_address_ ? last_list_address_ : Text());
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
