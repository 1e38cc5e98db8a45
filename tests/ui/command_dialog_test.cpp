// The command for new articles in the desktop program: the dialog, its 测试 button and the setting.
#include "ui/command_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <optional>

#include "app/desktop/desktop_app.h"
#include "support/gui/message_box_recorder.h"
#include "support/temp_dir.h"
#include "text/gbk_codec.h"
#include "ui/main_window.h"

namespace marl {
namespace {

// Clicks 测试 and waits for the result line.
QString RunTest(ui::CommandDialog& dialog) {
    QSignalSpy finished(&dialog, &ui::CommandDialog::TestFinished);
    QTest::mouseClick(dialog.test_button(), Qt::LeftButton);
    if (finished.isEmpty()) {
        EXPECT_TRUE(finished.wait(60000));
    }
    return dialog.result_label()->text();
}

TEST(CommandDialog, TestRunsTheCommandOnceWithASampleArticle) {
    test::TempDir dir;
    const std::string out = dir.File("out");
    ui::CommandDialog dialog(
        QString::fromStdString("printf '%s|%s' \"$MARL_TITLE\" \"$MARL_URL\" > '" + out + "'"));
    EXPECT_EQ(dialog.objectName(), QStringLiteral("窗口_新文章命令"));
    EXPECT_EQ(dialog.test_button()->text(), QStringLiteral("测试"));
    EXPECT_EQ(RunTest(dialog), QStringLiteral("测试完成：退出码 0"));
    EXPECT_EQ(test::ReadFileBytes(out), "marltips 测试文章 test article|https://example.com/marltips-test");
    EXPECT_TRUE(dialog.test_button()->isEnabled());

    const struct {
        const char* command;
        const char* result;
    } cases[] = {
        {"exit 4", "新文章命令出错：[marltips] 退出码 4"},
        {"no-such-command-marltips", "新文章命令出错：[marltips] 退出码 127"},
        {"   ", "命令为空"},
    };
    for (const auto& c : cases) {
        dialog.command_box()->setText(QString::fromUtf8(c.command));
        EXPECT_EQ(RunTest(dialog), QString::fromUtf8(c.result)) << c.command;
    }
}

TEST(CommandDialog, ClosingWhileATestRunsLeavesTheCommandAlone) {
    test::TempDir dir;
    std::optional<ui::CommandDialog> dialog;
    dialog.emplace(QString::fromStdString("sleep 0.3; touch '" + dir.File("done") + "'"));
    QTest::mouseClick(dialog->test_button(), Qt::LeftButton);
    dialog.reset();  // the result has nowhere to go; nothing breaks
    QTRY_VERIFY_WITH_TIMEOUT(std::filesystem::exists(dir.File("done")), 30000);
    QCoreApplication::processEvents();
}

TEST(NewArticleCommandSetting, StoredInTheIniAndReadAtStart) {
    test::TempDir dir;
    test::MessageBoxRecorder boxes;  // no database: the start-up box
    const std::string command = "notify-send \"$MARL_PLAN\" \"$MARL_TITLE\"  # 新文章";
    {
        DesktopApp app(dir.path().string(), DesktopOptions{[](int) {}});
        EXPECT_EQ(app.new_article_command().command(), "");
        ASSERT_TRUE(app.SetNewArticleCommand(command));
        EXPECT_EQ(app.new_article_command().command(), command);
    }
    const std::string ini = *GbkToUtf8Strict(test::ReadFileBytes(dir.File("marltips.ini")));
    EXPECT_NE(ini.find("[配置]"), std::string::npos) << ini;
    EXPECT_NE(ini.find("新文章命令=" + command), std::string::npos) << ini;
    {
        DesktopApp app(dir.path().string(), DesktopOptions{[](int) {}});
        EXPECT_EQ(app.new_article_command().command(), command);
        ASSERT_TRUE(app.SetNewArticleCommand(""));
    }
    DesktopApp app(dir.path().string(), DesktopOptions{[](int) {}});
    EXPECT_EQ(app.new_article_command().command(), "");
}

}  // namespace
}  // namespace marl
