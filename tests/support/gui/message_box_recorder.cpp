#include "support/gui/message_box_recorder.h"

#include <gtest/gtest.h>

#include <utility>

namespace marl::test {

MessageBoxRecorder::MessageBoxRecorder(std::deque<ui::MessageAnswer> answers) : answers_(std::move(answers)) {
    ui::SetMessageBoxHook([this](const ui::MessageRequest& request) {
        shown_.push_back(request);
        if (answers_.empty()) return ui::MessageAnswer::kOk;
        const ui::MessageAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    });
}

MessageBoxRecorder::~MessageBoxRecorder() { FailOnMessageBox(); }

void FailOnMessageBox() {
    ui::SetMessageBoxHook([](const ui::MessageRequest& request) {
        ADD_FAILURE() << "unexpected message box: " << request.caption.toStdString() << " / "
                      << request.text.toStdString();
        return ui::MessageAnswer::kCancel;
    });
}

}  // namespace marl::test
