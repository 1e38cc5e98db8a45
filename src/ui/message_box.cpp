#include "ui/message_box.h"

#include <QMessageBox>
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

MessageAnswer ShowMessageBox(QWidget* parent, const MessageRequest& request) {
    if (Hook()) return Hook()(request);

    QMessageBox box(QtIcon(request.icon), request.caption, request.text, QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);  // texts may come from web pages and users
    box.addButton(QMessageBox::Ok);
    if (request.buttons == MessageButtons::kOkCancel) {
        box.addButton(QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
    }
    return box.exec() == QMessageBox::Ok ? MessageAnswer::kOk : MessageAnswer::kCancel;
}

void ShowMessageBox(QWidget* parent, const QString& text) {
    ShowMessageBox(parent, MessageRequest{text, DefaultCaption(), MessageIcon::kNone, MessageButtons::kOk});
}

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }

}  // namespace marl::ui
