// The plan tree: reload from the store and the settings, check marks, the menu and its commands.
#include "ui/plans/plan_tree_widget.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <string>
#include <vector>

#include "plans/tree_settings.h"
#include "support/gui/message_box_recorder.h"
#include "support/plan_rows.h"
#include "support/temp_dir.h"
#include "text/text.h"

namespace marl::ui {
namespace {

class PlanTreeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::CreateDatabaseFile(dir_.File("marltips.db"));
        ASSERT_TRUE(db_.Open(dir_.File("marltips.db")));
        tree_.Bind(&store_, &plans_, &settings_, &frequency_);
        tree_.resize(172, 472);
        tree_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree_));
    }

    void AddPlans(const std::vector<int32_t>& ids) {
        for (const int32_t id : ids) {
            ASSERT_TRUE(test::InsertPlanRow(db_, id, "方案" + std::to_string(id), "http://127.0.0.1/"));
        }
    }
    void Store(const char* utf8_key, const std::string& value) {
        settings_.AccessSetting(Gbk(utf8_key), value);
    }

    std::vector<QString> Texts() const {
        std::vector<QString> texts;
        for (int i = 0; i < tree_.topLevelItemCount(); ++i) texts.push_back(tree_.topLevelItem(i)->text(0));
        return texts;
    }
    std::vector<int32_t> ItemIds() const {
        std::vector<int32_t> ids;
        for (int i = 0; i < tree_.topLevelItemCount(); ++i) {
            ids.push_back(tree_.topLevelItem(i)->data(0, PlanTreeWidget::kIdRole).toInt());
        }
        return ids;
    }
    std::vector<int32_t> ListIds() const {
        std::vector<int32_t> ids;
        for (const PlanRecord& plan : plans_.Get()->records()) ids.push_back(plan.id);
        return ids;
    }
    std::vector<int32_t> StoredIds() {
        std::vector<std::vector<Text>> rows;
        db_.QueryRows("SELECT id FROM rule ORDER BY id", rows);
        std::vector<int32_t> ids;
        for (const auto& row : rows) ids.push_back(std::stoi(row[0]));
        return ids;
    }
    void Select(int index) { tree_.setCurrentItem(tree_.topLevelItem(index)); }
    QAction* MenuItem(int index) { return tree_.plan_menu()->actions()[index]; }
    QPoint LabelOf(int index) {
        const QRect row = tree_.visualItemRect(tree_.topLevelItem(index));
        // A little into the text, past the check box and the icon.
        return QPoint(row.left() + 50, row.center().y());
    }

    test::TempDir dir_;
    Database db_;
    SharedPlanList plans_;
    PlanStore store_{db_, plans_};
    SettingsFile settings_{dir_.File("marltips.ini")};
    QLineEdit frequency_;
    PlanTreeWidget tree_{nullptr};
};

TEST_F(PlanTreeTest, ReloadChecksTheIdsBetweenCommas) {
    AddPlans({3, 7, 37});
    struct Case {
        const char* list;
        std::vector<int32_t> checked_ids;
    };
    const Case cases[] = {
        {"0,3,7,", {3, 7}}, {"0,37,", {37}}, {"0,", {}}, {"", {}}, {"0,12,", {}}, {"3,7,37,", {7, 37}},
    };
    for (const Case& c : cases) {
        if (*c.list) {
            Store("自动勾选", c.list);
        } else {
            Store("自动勾选", "NULL");
        }
        tree_.ReloadPlanTree();
        EXPECT_EQ(tree_.CheckedIds(), c.checked_ids) << c.list;
    }
    EXPECT_EQ(Texts(), (std::vector<QString>{QStringLiteral("右击 添加/修改 网站"), QStringLiteral("方案3"),
                                             QStringLiteral("方案7"), QStringLiteral("方案37")}));
    EXPECT_EQ(ItemIds(), (std::vector<int32_t>{0, 3, 7, 37}));
    EXPECT_EQ(ListIds(), (std::vector<int32_t>{3, 7, 37}));
    Store("自动勾选", "0,3,37,");
    tree_.ReloadPlanTree();
    EXPECT_EQ(tree_.CheckedPositions(), (std::vector<int32_t>{1, 3}));
}

TEST_F(PlanTreeTest, FrequencyBoxTakesTheStoredValueOr200) {
    struct Case {
        const char* stored;  // nullptr: no settings file
        const char* shown;
    };
    const Case cases[] = {{nullptr, "200"}, {"45", "45"}, {"NULL", "200"}, {"１０", "１０"}};
    for (const Case& c : cases) {
        if (c.stored) Store("频率", Gbk(c.stored));
        frequency_.setText(QStringLiteral("unsaved"));
        tree_.ReloadPlanTree();
        EXPECT_EQ(frequency_.text(), QString::fromUtf8(c.shown));
    }
}

TEST_F(PlanTreeTest, NoPlansGiveTheSingleHintItemAndKeepTheList) {
    AddPlans({1});
    tree_.ReloadPlanTree();
    ASSERT_EQ(ListIds(), (std::vector<int32_t>{1}));
    ASSERT_TRUE(db_.ExecuteSql("DELETE FROM rule"));
    tree_.ReloadPlanTree();
    EXPECT_EQ(Texts(), (std::vector<QString>{QStringLiteral("右击添加一个监控网站")}));
    EXPECT_EQ(ListIds(), (std::vector<int32_t>{1}));  // LoadPlans found nothing and changed nothing
    EXPECT_TRUE(tree_.CheckedPositions().empty());
}

TEST_F(PlanTreeTest, FiftyOnePlansShowFifty) {
    std::vector<int32_t> ids;
    for (int32_t id = 1; id <= 51; ++id) ids.push_back(id);
    AddPlans(ids);
    tree_.ReloadPlanTree();
    EXPECT_EQ(tree_.topLevelItemCount(), 51);
    EXPECT_EQ(tree_.topLevelItem(50)->text(0), QStringLiteral("方案50"));
}

TEST_F(PlanTreeTest, SelectionMessagesOnTheHeaderOrWithNothingSelected) {
    AddPlans({4});
    tree_.ReloadPlanTree();
    std::vector<int> opened;
    tree_.SetOpenPlanEditor([&](int position) { opened.push_back(position); });
    test::MessageBoxRecorder boxes;
    tree_.clearSelection();
    MenuItem(1)->trigger();  // 修改
    MenuItem(2)->trigger();  // 删除
    Select(0);
    MenuItem(1)->trigger();
    MenuItem(2)->trigger();
    ASSERT_EQ(boxes.shown().size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(boxes.shown()[i].caption, QStringLiteral("信息："));
        EXPECT_EQ(boxes.shown()[i].icon, MessageIcon::kNone);
        EXPECT_EQ(boxes.shown()[i].text,
                  i % 2 == 0 ? QStringLiteral("请右击要修改的网站") : QStringLiteral("请右击要删除的网站"));
    }
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(StoredIds(), (std::vector<int32_t>{4}));
}

TEST_F(PlanTreeTest, NewAndModifyOpenTheEditorAtAPosition) {
    AddPlans({4, 9});
    tree_.ReloadPlanTree();
    std::vector<int> opened;
    tree_.SetOpenPlanEditor([&](int position) { opened.push_back(position); });
    MenuItem(0)->trigger();  // 新建, whatever is selected
    Select(2);
    MenuItem(1)->trigger();
    MenuItem(0)->trigger();
    EXPECT_EQ(opened, (std::vector<int>{0, 2, 0}));
}

TEST_F(PlanTreeTest, DeleteRemovesTheRowAndKeepsTreeAndListInStep) {
    AddPlans({3, 7, 37, 40});
    Store("自动勾选", "0,3,40,");
    tree_.ReloadPlanTree();
    tree_.topLevelItem(3)->setCheckState(0, Qt::Checked);    // 37, checked by hand since the reload
    tree_.topLevelItem(1)->setCheckState(0, Qt::Unchecked);  // 3, unchecked by hand

    test::MessageBoxRecorder boxes;
    Select(2);  // id 7
    MenuItem(2)->trigger();
    ASSERT_EQ(boxes.shown().size(), 1u);  // no question before
    EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("删除成功！重启软件生效"));
    EXPECT_EQ(boxes.shown()[0].caption, QStringLiteral("信息："));

    EXPECT_EQ(StoredIds(), (std::vector<int32_t>{3, 37, 40}));
    EXPECT_EQ(ItemIds(), (std::vector<int32_t>{0, 3, 37, 40}));
    // Item k is list position k again, and the check marks are those of the tree, not the file.
    EXPECT_EQ(ListIds(), (std::vector<int32_t>{3, 37, 40}));
    EXPECT_EQ(tree_.CheckedIds(), (std::vector<int32_t>{37, 40}));
    EXPECT_EQ(tree_.CheckedPositions(), (std::vector<int32_t>{2, 3}));
    EXPECT_EQ(StoredCheckList(settings_), "0,3,40,");
}

TEST_F(PlanTreeTest, DeletingTheLastPlanLeavesOnlyTheHeader) {
    AddPlans({5});
    tree_.ReloadPlanTree();
    test::MessageBoxRecorder boxes;
    Select(1);
    MenuItem(2)->trigger();
    EXPECT_EQ(boxes.shown().back().text, QStringLiteral("删除成功！重启软件生效"));
    EXPECT_EQ(tree_.topLevelItemCount(), 1);
    EXPECT_TRUE(StoredIds().empty());
    EXPECT_TRUE(tree_.CheckedPositions().empty());
}

TEST_F(PlanTreeTest, FailedDeleteShowsTheStatementAndChangesNothing) {
    AddPlans({3, 7});
    tree_.ReloadPlanTree();
    db_.Close();
    test::MessageBoxRecorder boxes;
    Select(1);
    MenuItem(2)->trigger();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(boxes.shown()[0].text.startsWith(QStringLiteral("删除失败！SQL：\r\n")));
    EXPECT_TRUE(boxes.shown()[0].text.contains(QStringLiteral("3"))) << boxes.shown()[0].text.toStdString();
    EXPECT_EQ(ItemIds(), (std::vector<int32_t>{0, 3, 7}));
}

TEST_F(PlanTreeTest, RightClickOnAnItemSelectsItAndShowsTheMenu) {
    AddPlans({3, 7, 37});
    tree_.ReloadPlanTree();
    Select(1);
    // On the label: selected, then the menu.
    QTest::mousePress(tree_.viewport(), Qt::RightButton, {}, LabelOf(3));
    EXPECT_EQ(tree_.SelectedIndex(), 3);
    EXPECT_TRUE(tree_.plan_menu()->isVisible());
    EXPECT_EQ(tree_.plan_menu()->objectName(), QStringLiteral("菜单的方案"));
    tree_.plan_menu()->hide();

    // On the check box.
    const QRect row = tree_.visualItemRect(tree_.topLevelItem(2));
    QTest::mousePress(tree_.viewport(), Qt::RightButton, {}, QPoint(row.left() + 8, row.center().y()));
    EXPECT_EQ(tree_.SelectedIndex(), 2);
    EXPECT_TRUE(tree_.plan_menu()->isVisible());
    tree_.plan_menu()->hide();
    EXPECT_EQ(tree_.topLevelItem(2)->checkState(0), Qt::Unchecked);  // a right-click checks nothing

    // Beyond the end of the text, and below the last item: nothing at all.
    QTest::mousePress(tree_.viewport(), Qt::RightButton, {}, QPoint(row.right() - 3, row.center().y()));
    QTest::mousePress(tree_.viewport(), Qt::RightButton, {}, QPoint(30, tree_.viewport()->height() - 5));
    EXPECT_EQ(tree_.SelectedIndex(), 2);
    EXPECT_FALSE(tree_.plan_menu()->isVisible());
}

TEST_F(PlanTreeTest, NamesAreShownAsPlainText) {
    ASSERT_TRUE(test::InsertPlanRow(db_, 1, "<b>x</b><img src=y>", "http://127.0.0.1/"));
    tree_.ReloadPlanTree();
    EXPECT_EQ(tree_.topLevelItem(1)->text(0), QStringLiteral("<b>x</b><img src=y>"));
    EXPECT_EQ(tree_.topLevelItem(1)->toolTip(0), QString());
}

}  // namespace
}  // namespace marl::ui
