#pragma once
#include <QObject>
#include <functional>
#include <mutex>

namespace marl::ui {

// Runs calls posted from other threads on the thread it lives on (the UI thread), in the order they
// were posted. Qt's event queue carries them, and ThreadSanitizer cannot see into Qt: each call is
// marked so that what the posting thread did before PostCall happens before the call runs. A call
// still queued when the receiver is deleted is dropped unrun.
class CallReceiver final : public QObject {
  public:
    using QObject::QObject;

    // From any thread; never waits. The receiver must exist while this runs.
    void PostCall(std::function<void()> work);

  protected:
    bool event(QEvent* event) override;
};

// The way back to the UI thread for a thread that may outlive the window that started it: posts to
// the receiver while it is open, drops the call once Close has run. Shared between the window (which
// closes it before the receiver goes) and the thread.
class ReturnPath {
  public:
    explicit ReturnPath(CallReceiver* receiver) : receiver_(receiver) {}

    void Post(std::function<void()> work);
    void Close();

  private:
    std::mutex mutex_;
    CallReceiver* receiver_;
};

}  // namespace marl::ui
