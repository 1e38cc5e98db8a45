#pragma once
#include <functional>
#include <memory>

#include <QString>

class QMessageBox;
class QWidget;

namespace marl::ui {

enum class MessageIcon { kNone, kInformation, kWarning, kError, kQuestion };
enum class MessageButtons { kOk, kOkCancel };
enum class MessageAnswer { kOk, kCancel };

// One message box as the program asks for it.
struct MessageRequest {
    QString text;
    QString caption;
    MessageIcon icon = MessageIcon::kNone;
    MessageButtons buttons = MessageButtons::kOk;
};

// The caption of a box that has none of its own: "信息：".
QString DefaultCaption();

// The box ShowMessageBox shows, not yet shown: plain text, the request's icon and caption, and the
// buttons captioned 确定 and 取消 whatever translation Qt has loaded, as the program speaks Chinese.
std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, const MessageRequest& request);

// Shows a modal box (plain text, never rich text) and returns the answer. Closing the box any other
// way than with OK counts as Cancel.
MessageAnswer ShowMessageBox(QWidget* parent, const MessageRequest& request);
// A box with the default caption, no icon and only an OK button.
void ShowMessageBox(QWidget* parent, const QString& text);

// The test seam: while a hook is set, every box goes to it instead of the screen and the hook's
// answer is returned. An empty hook restores real boxes. UI thread only.
using MessageBoxHook = std::function<MessageAnswer(const MessageRequest&)>;
void SetMessageBoxHook(MessageBoxHook hook);

}  // namespace marl::ui
