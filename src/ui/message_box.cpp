#include "ui/message_box.h"

#include <QMessageBox>
#include <QPushButton>
#include <utility>

namespace marl::ui {
namespace {

MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}

QMessageBox::Icon QtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::kInformation:
            return QMessageBox::Information;
        case MessageIcon::kWarning:
            return QMessageBox::Warning;
        case MessageIcon::kError:
            return QMessageBox::Critical;
        case MessageIcon::kQuestion:
            return QMessageBox::Question;
        case MessageIcon::kNone:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

QString DefaultCaption() { return QStringLiteral("信息："); }

std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, const MessageRequest& request) {
    auto box = std::make_unique<QMessageBox>(QtIcon(request.icon), request.caption, request.text,
                                             QMessageBox::NoButton, parent);
    box->setTextFormat(Qt::PlainText);  // texts may come from web pages and users
    // Without Qt's own Chinese translation the standard buttons would read OK and Cancel.
    box->addButton(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    if (request.buttons == MessageButtons::kOkCancel) {
        box->addButton(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
        box->setEscapeButton(QMessageBox::Cancel);
    }
    return box;
}

MessageAnswer ShowMessageBox(QWidget* parent, const MessageRequest& request) {
    if (Hook()) return Hook()(request);
    const std::unique_ptr<QMessageBox> box = MakeMessageBox(parent, request);
    return box->exec() == QMessageBox::Ok ? MessageAnswer::kOk : MessageAnswer::kCancel;
}

void ShowMessageBox(QWidget* parent, const QString& text) {
    ShowMessageBox(parent, MessageRequest{text, DefaultCaption(), MessageIcon::kNone, MessageButtons::kOk});
}

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }

}  // namespace marl::ui
