#include "ui/command_dialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <chrono>
#include <thread>

#include "feeds/command_runner.h"
#include "feeds/command_setting.h"
#include "ui/posted_call.h"
#include "ui/qt_text.h"

namespace marl::ui {

CommandDialog::CommandDialog(const QString& command, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("窗口_新文章命令"));
    setWindowTitle(QStringLiteral("新文章命令"));
    auto* layout = new QVBoxLayout(this);
    auto* help = new QLabel(
        QStringLiteral(
            "每篇新文章运行一次（/bin/sh -c 命令）。文章在环境变量 MARL_PLAN、MARL_PLAN_ID、MARL_TITLE、"
            "MARL_URL、MARL_TIME 中，也以一行 JSON 送到标准输入。留空则不运行。"),
        this);
    help->setTextFormat(Qt::PlainText);
    help->setWordWrap(true);
    layout->addWidget(help);
    command_box_ = new QLineEdit(command, this);
    command_box_->setObjectName(QStringLiteral("框_新文章命令"));
    command_box_->setMinimumWidth(420);
    layout->addWidget(command_box_);
    result_label_ = new QLabel(this);
    result_label_->setObjectName(QStringLiteral("标签_测试结果"));
    result_label_->setTextFormat(Qt::PlainText);
    result_label_->setWordWrap(true);
    layout->addWidget(result_label_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    test_button_ = buttons->addButton(QStringLiteral("测试"), QDialogButtonBox::ActionRole);
    test_button_->setObjectName(QStringLiteral("按钮_测试"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(test_button_, &QPushButton::clicked, this, [this] { RunTest(); });
}

CommandDialog::~CommandDialog() {
    // A test still running then finds the way back closed and ends on its own.
    if (test_return_) test_return_->Close();
}

QString CommandDialog::command() const { return command_box_->text().trimmed(); }

void CommandDialog::RunTest() {
    const std::string line = command().toStdString();
    if (line.empty()) {
        ShowTestResult(QStringLiteral("命令为空"));
        return;
    }
    test_button_->setEnabled(false);
    result_label_->setText(QStringLiteral("正在运行…"));
    // The command may take up to its time limit: it runs on a thread of its own, and the result
    // comes back to the UI thread only if the dialog still exists then.
    if (!test_return_) test_return_ = std::make_shared<ReturnPath>(new CallReceiver(this));
    std::thread([line, back = test_return_, this] {
        const NewArticle sample = feeds::SampleArticle();
        const feeds::CommandOutcome outcome =
            feeds::RunArticleCommand(line, sample, std::chrono::milliseconds(30000));
        const Text failure = feeds::CommandFailureMessage(sample, outcome, std::chrono::milliseconds(30000));
        const QString text = failure.empty() ? QStringLiteral("测试完成：退出码 0") : ToQString(failure);
        // `this` is used only by the call, which runs only while the dialog is open.
        back->Post([this, text] { ShowTestResult(text); });
    }).detach();
}

void CommandDialog::ShowTestResult(const QString& text) {
    result_label_->setText(text);
    test_button_->setEnabled(true);
    emit TestFinished();
}

}  // namespace marl::ui
