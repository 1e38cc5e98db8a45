#include "ui/posted_call.h"

#include <QCoreApplication>
#include <QEvent>
#include <utility>

#include "ui/tsan_marks.h"

namespace marl::ui {
namespace {

const QEvent::Type kPostedCall = static_cast<QEvent::Type>(QEvent::registerEventType());

class PostedCallEvent final : public QEvent {
  public:
    explicit PostedCallEvent(std::function<void()> work) : QEvent(kPostedCall), work_(std::move(work)) {
        TsanRelease(this);
    }
    // Also reached without Run when Qt drops the event unrun; the body runs before the members go.
    ~PostedCallEvent() override { TsanAcquire(this); }
    PostedCallEvent(const PostedCallEvent&) = delete;
    PostedCallEvent& operator=(const PostedCallEvent&) = delete;

    void Run() { work_(); }

  private:
    std::function<void()> work_;
};

}  // namespace

void CallReceiver::PostCall(std::function<void()> work) {
    QCoreApplication::postEvent(this, new PostedCallEvent(std::move(work)));
}

bool CallReceiver::event(QEvent* event) {
    // Before anything of ours reads the event, its type included.
    TsanAcquire(event);
    if (event->type() != kPostedCall) return QObject::event(event);
    static_cast<PostedCallEvent*>(event)->Run();
    return true;
}

void ReturnPath::Post(std::function<void()> work) {
    const std::lock_guard lock(mutex_);
    if (receiver_ != nullptr) receiver_->PostCall(std::move(work));
}

void ReturnPath::Close() {
    const std::lock_guard lock(mutex_);
    receiver_ = nullptr;
}

}  // namespace marl::ui
