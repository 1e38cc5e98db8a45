// The plan editor inside the desktop program: opened from the plan menu, one window for every
// opening, and the plan tree rebuilt after a save.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <optional>
#include <string>
#include <vector>

#include "app/desktop/desktop_app.h"
#include "support/gui/message_box_recorder.h"
#include "support/plan_rows.h"
#include "support/temp_dir.h"
#include "text/text.h"
#include "ui/main_window.h"
#include "ui/plans/plan_editor_widget.h"
#include "ui/plans/plan_tree_widget.h"

namespace marl {
namespace {

class PlanEditorDesktopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::CreateDatabaseFile(dir_.File("marltips.db"));
        Database db;
        ASSERT_TRUE(db.Open(dir_.File("marltips.db")));
        for (const int32_t id : {3, 7}) {
            ASSERT_TRUE(test::InsertPlanRow(db, id, "方案" + std::to_string(id), "http://127.0.0.1:9/"));
        }
        test::WriteFileBytes(dir_.File("marltips.ini"), Gbk("[配置]\r\n自动勾选=0,3,\r\n"));
        app_.emplace(dir_.path().string(), DesktopOptions{[](int) {}});
        app_->Start();
    }

    ui::PlanTreeWidget* Tree() { return app_->window().plan_tree(); }
    QLineEdit* EditorLine(const char* name) {
        return app_->plan_editor()->findChild<QLineEdit*>(QString::fromUtf8(name));
    }

    test::TempDir dir_;
    std::optional<DesktopApp> app_;
};

TEST_F(PlanEditorDesktopTest, MenuOpensOneEditorAndASaveRebuildsTheTree) {
    EXPECT_EQ(app_->plan_editor(), nullptr);
    Tree()->setCurrentItem(Tree()->topLevelItem(2));
    Tree()->ModifyPlan();
    ui::PlanEditorWidget* editor = app_->plan_editor();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(editor->parentWidget(), nullptr);
    EXPECT_FALSE(editor->isModal());
    EXPECT_EQ(EditorLine("框_名")->text(), QStringLiteral("方案7"));
    EXPECT_EQ(EditorLine("框_当前方案")->text(), QStringLiteral("2"));

    // A check mark set since start-up stays when the save rebuilds the tree.
    Tree()->topLevelItem(2)->setCheckState(0, Qt::Checked);
    EditorLine("框_名")->setText(QStringLiteral("改名"));
    {
        test::MessageBoxRecorder boxes;
        QTest::mouseClick(editor->findChild<QPushButton*>(QStringLiteral("提交按钮")), Qt::LeftButton);
        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("成功"));
    }
    EXPECT_EQ(Tree()->topLevelItem(2)->text(0), QStringLiteral("改名"));
    EXPECT_EQ(Tree()->CheckedIds(), (std::vector<int32_t>{3, 7}));

    Tree()->NewPlan();
    EXPECT_EQ(app_->plan_editor(), editor);
    EXPECT_EQ(EditorLine("框_当前方案")->text(), QStringLiteral("0"));
    EXPECT_TRUE(app_->window().isEnabled());
}

// What the user set since start-up (check marks, frequency) is what monitoring goes by: a save in the
// editor, which rebuilds the tree, keeps it all, and the settings file waits for the exit.
TEST_F(PlanEditorDesktopTest, SaveKeepsTheCheckMarksAndTheFrequencySetSinceStartUp) {
    Tree()->topLevelItem(1)->setCheckState(0, Qt::Checked);
    Tree()->topLevelItem(2)->setCheckState(0, Qt::Checked);
    app_->window().frequency_box()->setText(QStringLiteral("10"));

    Tree()->NewPlan();
    ui::PlanEditorWidget* editor = app_->plan_editor();
    editor->findChild<QComboBox*>(QStringLiteral("框_编码"))->setCurrentIndex(1);
    EditorLine("框_名")->setText(QStringLiteral("新方案"));
    EditorLine("框_url")->setText(QStringLiteral("http://127.0.0.1:9/new"));
    test::MessageBoxRecorder boxes;
    QTest::mouseClick(editor->findChild<QPushButton*>(QStringLiteral("提交按钮")), Qt::LeftButton);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("成功"));

    ASSERT_EQ(Tree()->topLevelItemCount(), 4);
    EXPECT_EQ(Tree()->topLevelItem(3)->text(0), QStringLiteral("新方案"));
    EXPECT_EQ(Tree()->CheckedIds(), (std::vector<int32_t>{3, 7}));
    EXPECT_EQ(Tree()->CheckedPositions(), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(app_->window().frequency_box()->text(), QStringLiteral("10"));
    EXPECT_EQ(test::ReadFileBytes(dir_.File("marltips.ini")), Gbk("[配置]\r\n自动勾选=0,3,\r\n"));
}

}  // namespace
}  // namespace marl
