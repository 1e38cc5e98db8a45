#pragma once
#include <deque>
#include <vector>

#include "ui/message_box.h"

namespace marl::test {

// For the life of this object every message box is recorded instead of shown and answered from a
// queue of answers (OK once the queue is empty). Restores the failing hook of the test main after.
class MessageBoxRecorder {
  public:
    explicit MessageBoxRecorder(std::deque<ui::MessageAnswer> answers = {});
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    void Answer(ui::MessageAnswer answer) { answers_.push_back(answer); }
    const std::vector<ui::MessageRequest>& shown() const { return shown_; }

  private:
    std::deque<ui::MessageAnswer> answers_;
    std::vector<ui::MessageRequest> shown_;
};

// The hook the test main installs: any box that a test did not arrange for fails the test.
void FailOnMessageBox();

}  // namespace marl::test
