// The plan editor window: its controls, what 新建 and 修改 fill in, the save with its checks and
// messages, and the help shown as the focus moves through the fields.
#include "ui/plans/plan_editor_widget.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "store/database.h"
#include "store/plan_store.h"
#include "store/raw_sqlite.h"
#include "support/gui/message_box_recorder.h"
#include "support/temp_dir.h"
#include "ui/qt_text.h"

namespace marl::ui {
namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

class PlanEditorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = dir_.File("marltips.db");
        test::CreateDatabaseFile(path_);
        ASSERT_TRUE(db_.Open(path_));
        editor_ = std::make_unique<PlanEditorWidget>(store_, plans_, [this] {
            ++reloads_;
            store_.LoadPlans();
        });
    }

    template <typename T>
    T* Field(const char* name) {
        T* field = editor_->findChild<T*>(Q(name));
        EXPECT_NE(field, nullptr) << name;
        return field;
    }
    QString Line(const char* name) { return Field<QLineEdit>(name)->text(); }
    QString Box(const char* name) { return Field<QPlainTextEdit>(name)->toPlainText(); }
    void Type(const char* name, const char* text) { Field<QLineEdit>(name)->setText(Q(text)); }
    void Choose(const char* name, int index) { Field<QComboBox>(name)->setCurrentIndex(index); }
    void Submit() { QTest::mouseClick(Field<QPushButton>("提交按钮"), Qt::LeftButton); }

    // Plans stored directly, as another program (or an earlier version of the editor) left them.
    void StorePlan(int id, const std::string& name, const std::string& inc1 = "",
                   const std::string& url_key_i = "1") {
        test::RawSqlite raw(path_);
        raw.ExecBound(
            "INSERT INTO rule (id, class, name, url, code, ua, post, part, inc1, inc0, dom, url_key, "
            "url_key_i, inck) VALUES (?, '1', ?, 'http://h/l', '1', '', '', '[*]', ?, '', '', '', ?, '')",
            {std::to_string(id), name, inc1, url_key_i});
    }

    std::vector<std::string> Rows(const std::string& columns) {
        test::RawSqlite raw(path_);
        return raw.Column("SELECT " + columns + " FROM rule ORDER BY id");
    }

    test::TempDir dir_;
    std::string path_;
    Database db_;
    SharedPlanList plans_;
    PlanStore store_{db_, plans_};
    int reloads_ = 0;
    std::unique_ptr<PlanEditorWidget> editor_;
};

TEST_F(PlanEditorTest, WindowHasEveryControlAtItsPlace) {
    EXPECT_EQ(editor_->windowTitle(), Q("方案管理"));
    // The inside fits the controls (right edge 856, bottom 566) with the 4-pixel margin they keep on
    // the left and above; 864 x 600 is the window with its frame.
    EXPECT_EQ(editor_->size(), QSize(860, 570));
    EXPECT_EQ(editor_->parentWidget(), nullptr);
    EXPECT_EQ(editor_->windowModality(), Qt::NonModal);

    struct Place {
        const char* name;
        bool on_tab;  // placed relative to 选择夹1 (4, 8)
        QRect rect;
    };
    const Place places[] = {
        {"选择夹1", false, {4, 8, 436, 280}},
        {"框_名", true, {65, 25, 115, 22}},
        {"框_编码", true, {285, 24, 108, 20}},
        {"框_url", true, {65, 59, 360, 22}},
        {"超级按钮1", true, {407, 61, 16, 16}},
        {"框_区域规则", true, {64, 93, 360, 39}},
        {"超级按钮3", true, {407, 113, 16, 16}},
        {"框_必含", true, {140, 146, 284, 20}},
        {"框_包含", true, {140, 169, 284, 20}},
        {"超级按钮2", true, {405, 172, 16, 16}},
        {"框_不包含", true, {140, 192, 284, 20}},
        {"框_当前方案", true, {392, 212, 28, 20}},
        {"提交按钮", true, {339, 230, 84, 35}},
        {"框_dom", true, {65, 253, 267, 20}},
        {"标签3", true, {10, 28, 418, 247}},
        {"框_ua", true, {61, 32, 361, 75}},
        {"框_Post", true, {62, 117, 361, 75}},
        {"标签1", true, {8, 51, 40, 133}},
        {"框_行结构值", false, {70, 227, 84, 20}},
        {"框_行结构", false, {158, 227, 178, 20}},
        {"状态输出", false, {4, 296, 436, 270}},
        {"源码编辑框", false, {445, 4, 411, 372}},
        {"超级列表框_测试", false, {448, 384, 405, 178}},
    };
    QRect controls;
    for (const Place& place : places) {
        QWidget* control = Field<QWidget>(place.name);
        ASSERT_NE(control, nullptr);
        const QRect expected = place.on_tab ? place.rect.translated(4, 8) : place.rect;
        EXPECT_EQ(QRect(control->mapTo(editor_.get(), QPoint(0, 0)), control->size()), expected)
            << place.name;
        controls |= expected;
    }
    EXPECT_EQ(controls.adjusted(-4, -4, 4, 4), editor_->rect());

    const QTabBar* bar = Field<QWidget>("选择夹1")->findChild<QTabBar*>();
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->count(), 2);
    EXPECT_EQ(bar->tabText(0), Q("基础配置"));
    EXPECT_EQ(bar->tabText(1), Q("高级（通常用不到）"));

    EXPECT_EQ(
        Field<QLabel>("标签3")->text(),
        Q("方案名称　　　　　　　　　　　　页面编码\r\n\r\n\r\n列表网址\r\n\r\n\r\n截取所在\r\n列表区域\r\n\r"
          "\n\r\n"
          "　　　　 ┏━ 必含词\r\n　　　　 ┃\r\n网址筛选 ┫━ 可含词\r\n　　　　 ┃\r\n　　　　 ┗━ 不含词\r\n\r\n"
          "行结构\r\n\r\n\r\n补上域名"));
    EXPECT_EQ(Field<QLabel>("标签1")->text(), Q("协议头\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\nPost"));

    const std::pair<const char*, const char*> hints[] = {{"超级按钮1", "查看软件抓取到的源码"},
                                                         {"超级按钮3", "预览 截取到的源码"},
                                                         {"超级按钮2", "测试筛选后的网址"}};
    for (const auto& [name, hint] : hints) EXPECT_EQ(Field<QToolButton>(name)->toolTip(), Q(hint));

    const QTreeWidget* list = Field<QTreeWidget>("超级列表框_测试");
    ASSERT_EQ(list->columnCount(), 4);
    const char* columns[] = {"id", "链接", "标题", "行结构"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(list->headerItem()->text(i), Q(columns[i]));

    const QComboBox* code = Field<QComboBox>("框_编码");
    ASSERT_EQ(code->count(), 3);
    EXPECT_EQ(code->itemText(0) + code->itemText(1) + code->itemText(2), Q("自动识别GBKUtf-8"));
    const QComboBox* row_value = Field<QComboBox>("框_行结构值");
    ASSERT_EQ(row_value->count(), 2);
    EXPECT_EQ(row_value->itemText(0), Q("必须包含"));
    EXPECT_EQ(row_value->itemData(0).toInt(), 1);
    EXPECT_EQ(row_value->itemText(1), Q("不能包含"));
    EXPECT_EQ(row_value->itemData(1).toInt(), -1);
    EXPECT_EQ(code->currentIndex(), 0);
    EXPECT_EQ(row_value->currentIndex(), 0);
    EXPECT_EQ(Field<QPushButton>("提交按钮")->text(), Q("提 交"));
}

TEST_F(PlanEditorTest, NewPlanShowsItsDefaultsAndLeavesTheOutputsAlone) {
    Field<QPlainTextEdit>("状态输出")->setPlainText(Q("status before"));
    Field<QPlainTextEdit>("源码编辑框")->setPlainText(Q("source before"));
    new QTreeWidgetItem(Field<QTreeWidget>("超级列表框_测试"), QStringList{Q("1"), Q("/a")});
    Type("框_名", "left over");
    Choose("框_编码", 2);
    Choose("框_行结构值", 1);

    editor_->OpenPlanEditor(0);
    EXPECT_TRUE(editor_->isVisible());
    EXPECT_EQ(Field<QPushButton>("提交按钮")->text(), Q("新 建"));
    EXPECT_EQ(Box("框_区域规则"), Q("[*]"));
    EXPECT_EQ(Box("框_ua"),
              Q("User-Agent:Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
                "Chrome/58.0.3029.110 Safari/537.36 SE 2.X MetaSr 1.0\n"
                "Cookie:伪装浏览器或模拟登陆专用（此框一般不用变动）"));
    EXPECT_EQ(Line("框_当前方案"), Q("0"));
    EXPECT_FALSE(Field<QLineEdit>("框_当前方案")->isVisibleTo(editor_.get()));
    EXPECT_EQ(Field<QComboBox>("框_编码")->currentIndex(), 0);
    EXPECT_EQ(Field<QComboBox>("框_行结构值")->currentIndex(), 0);
    for (const char* name : {"框_名", "框_url", "框_必含", "框_包含", "框_不包含", "框_dom", "框_行结构"}) {
        EXPECT_EQ(Line(name), QString()) << name;
    }
    EXPECT_EQ(Box("框_Post"), QString());
    EXPECT_EQ(Box("状态输出"), Q("status before"));
    EXPECT_EQ(Box("源码编辑框"), Q("source before"));
    EXPECT_EQ(Field<QTreeWidget>("超级列表框_测试")->topLevelItemCount(), 1);
    // The header block goes back to the store with its CR LF.
    EXPECT_EQ(editor_->ReadForm().ua, DefaultHeaderBlock());
}

TEST_F(PlanEditorTest, ChecksShowOnlyTheFirstFailureAndSaveNothing) {
    struct Case {
        int encoding_entry;  // the entry of 框_编码 chosen
        const char* name;
        const char* url;
        const char* message;
    };
    const Case cases[] = {
        {0, "", "", "请选择网站编码"},
        {0, "n", "http://h/", "请选择网站编码"},
        {1, "", "", "名称不能空"},
        {2, "n", "", "列表网址不能空"},
        {1, "n", "http://h/echo\r\nX-Smuggled: yes", "列表网址不能含换行"},
    };
    editor_->OpenPlanEditor(0);
    for (const Case& c : cases) {
        Choose("框_编码", c.encoding_entry);
        Type("框_名", c.name);
        Type("框_url", c.url);
        test::MessageBoxRecorder boxes;
        Submit();
        ASSERT_EQ(boxes.shown().size(), 1u) << c.message;
        EXPECT_EQ(boxes.shown()[0].text, Q(c.message));
        EXPECT_EQ(boxes.shown()[0].caption, Q("信息："));
    }
    EXPECT_TRUE(Rows("id").empty());
    EXPECT_EQ(reloads_, 0);
}

TEST_F(PlanEditorTest, StoredPlanOpensWithItsValues) {
    StorePlan(3, "first", "list$$index", "-1");
    StorePlan(9, "second", "", "1");
    store_.LoadPlans();

    editor_->OpenPlanEditor(1);
    EXPECT_EQ(Field<QPushButton>("提交按钮")->text(), Q("修 改"));
    EXPECT_EQ(Line("框_名"), Q("first"));
    EXPECT_EQ(Line("框_包含"), Q("list$$index"));
    EXPECT_EQ(Line("框_当前方案"), Q("1"));
    EXPECT_EQ(Field<QComboBox>("框_编码")->currentIndex(), 1);
    EXPECT_EQ(Field<QComboBox>("框_行结构值")->currentText(), Q("不能包含"));

    editor_->OpenPlanEditor(2);
    EXPECT_EQ(Line("框_名"), Q("second"));
    EXPECT_EQ(Line("框_当前方案"), Q("2"));
    EXPECT_EQ(Field<QComboBox>("框_行结构值")->currentText(), Q("必须包含"));

    editor_->OpenPlanEditor(0);
    EXPECT_EQ(Field<QComboBox>("框_行结构值")->currentText(), Q("必须包含"));
}

TEST_F(PlanEditorTest, SavingAtPosition2UpdatesItsRowAndReloadsTheTree) {
    StorePlan(3, "first");
    StorePlan(7, "second");
    StorePlan(12, "third");
    store_.LoadPlans();
    editor_->OpenPlanEditor(2);
    Type("框_名", "renamed");
    test::MessageBoxRecorder boxes;
    Submit();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, Q("成功"));
    EXPECT_EQ(reloads_, 1);
    EXPECT_EQ(Rows("id || ':' || name"), (std::vector<std::string>{"3:first", "7:renamed", "12:third"}));
    // The editor stays as it was: caption, fields and position.
    EXPECT_EQ(Field<QPushButton>("提交按钮")->text(), Q("修 改"));
    EXPECT_EQ(Line("框_当前方案"), Q("2"));
}

// Once stored, a new plan is the plan the window holds: a second click changes it, never stores a
// copy under the same name.
TEST_F(PlanEditorTest, NewPlanSavedTwiceStoresOneRowAndThenChangesIt) {
    StorePlan(3, "first");
    StorePlan(9, "second");
    store_.LoadPlans();
    editor_->OpenPlanEditor(0);
    Choose("框_编码", 1);
    Type("框_名", "twice");
    Type("框_url", "http://h/list");
    test::MessageBoxRecorder boxes;
    Submit();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, Q("成功"));
    EXPECT_EQ(Field<QPushButton>("提交按钮")->text(), Q("修 改"));
    EXPECT_EQ(Line("框_当前方案"), Q("3"));  // after 3 and 9 in the reloaded list
    EXPECT_EQ(Line("框_名"), Q("twice"));

    Submit();
    Type("框_url", "http://h/other");
    Submit();
    ASSERT_EQ(boxes.shown().size(), 3u);
    EXPECT_EQ(boxes.shown()[2].text, Q("成功"));
    EXPECT_EQ(reloads_, 3);
    EXPECT_EQ(Rows("id || ',' || name || ',' || url || ',' || code || ',' || part || ',' || url_key_i"),
              (std::vector<std::string>{"3,first,http://h/l,1,[*],1", "9,second,http://h/l,1,[*],1",
                                        "10,twice,http://h/other,1,[*],1"}));

    // 新建 starts a new plan again.
    editor_->OpenPlanEditor(0);
    Choose("框_编码", 1);
    Type("框_名", "third");
    Type("框_url", "http://h/3");
    Submit();
    EXPECT_EQ(Rows("id || ':' || name"),
              (std::vector<std::string>{"3:first", "9:second", "10:twice", "11:third"}));
    EXPECT_EQ(Line("框_当前方案"), Q("4"));
}

// A plan beyond the 50 loaded has no list position; the window still holds it, so a second save
// changes it.
TEST_F(PlanEditorTest, NewPlanBeyondTheLoadedListIsStillHeld) {
    for (int id = 1; id <= 50; ++id) StorePlan(id, "p" + std::to_string(id));
    store_.LoadPlans();
    editor_->OpenPlanEditor(0);
    Choose("框_编码", 1);
    Type("框_名", "fifty-first");
    Type("框_url", "http://h/list");
    test::MessageBoxRecorder boxes;
    Submit();
    EXPECT_EQ(Field<QPushButton>("提交按钮")->text(), Q("修 改"));
    Type("框_名", "renamed");
    Submit();
    EXPECT_EQ(test::RawSqlite(path_).Column("SELECT id || ':' || name FROM rule WHERE id > 50"),
              std::vector<std::string>{"51:renamed"});
}

// Saving an unchanged plan stores exactly what was there: multi-line boxes give their CR LF back.
TEST_F(PlanEditorTest, UnchangedPlanSavesItsStoredBytes) {
    test::RawSqlite raw(path_);
    raw.ExecBound(
        "INSERT INTO rule (id, class, name, url, code, ua, post, part, js, url_gs, inc1, inc0, ltime, "
        "dom, url_key, url_key_i, inck) VALUES (5, '1', ?, ?, '2', ?, ?, ?, '', '', ?, ?, '', ?, ?, '-1', ?)",
        {"名 'q'", "http://h/l?a=1&b=2", "A:1\r\nB:2", "x=1\r\ny=2", "<ul class=\"n\">[*]</ul>", "a$$b",
         "c$$d", "http://h/", "<img", "新"});
    const std::string columns = "name||url||code||ua||post||part||inc1||inc0||dom||url_key||url_key_i||inck";
    const std::vector<std::string> before = Rows(columns);
    store_.LoadPlans();
    editor_->OpenPlanEditor(1);
    test::MessageBoxRecorder boxes;
    Submit();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, Q("成功"));
    EXPECT_EQ(Rows(columns), before);
}

// Filter words holding GBK characters whose second byte is 0x7C (東, 億, 縷, 瑋) reopen as stored
// and an unchanged save keeps the row byte for byte.
TEST_F(PlanEditorTest, FilterWordsWithBarBytesInCharactersSaveUnchanged) {
    test::RawSqlite raw(path_);
    raw.ExecBound(
        "INSERT INTO rule (id, class, name, url, code, ua, post, part, js, url_gs, inc1, inc0, ltime, "
        "dom, url_key, url_key_i, inck) VALUES (6, '1', '東', 'http://h/l', '1', '', '', '[*]', '', '', "
        "?, ?, '', '', '', '1', ?)",
        {"東京$$list$$億元", "縷$$瑋", "億"});
    const std::string columns = "name||url||code||ua||post||part||inc1||inc0||dom||url_key||url_key_i||inck";
    const std::vector<std::string> before = Rows(columns);
    store_.LoadPlans();
    editor_->OpenPlanEditor(1);
    EXPECT_EQ(Line("框_包含"), Q("東京$$list$$億元"));
    EXPECT_EQ(Line("框_不包含"), Q("縷$$瑋"));
    EXPECT_EQ(Line("框_必含"), Q("億"));
    test::MessageBoxRecorder boxes;
    Submit();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, Q("成功"));
    EXPECT_EQ(Rows(columns), before);
}

// The position the editor was opened with may name another plan once deletes and a reload have moved
// the list on; the save still changes the plan that was opened.
TEST_F(PlanEditorTest, SaveChangesTheOpenedPlanAfterTheListMoved) {
    StorePlan(3, "first");
    StorePlan(7, "second");
    StorePlan(12, "third");
    store_.LoadPlans();
    editor_->OpenPlanEditor(2);
    ASSERT_TRUE(store_.DropPlan(3).ok);
    store_.LoadPlans();
    Type("框_名", "edited");
    test::MessageBoxRecorder boxes;
    Submit();
    EXPECT_EQ(Rows("id || ':' || name"), (std::vector<std::string>{"7:edited", "12:third"}));
}

TEST_F(PlanEditorTest, FailedSaveShowsTheStatementAndPutsItOnTheClipboard) {
    StorePlan(4, "kept");
    store_.LoadPlans();
    ASSERT_TRUE(db_.ExecuteSql("PRAGMA query_only = 1"));
    editor_->OpenPlanEditor(1);
    Type("框_名", "lost?");
    QApplication::clipboard()->clear();
    test::MessageBoxRecorder boxes;
    Submit();
    ASSERT_EQ(boxes.shown().size(), 1u);
    const QString statement = QApplication::clipboard()->text();
    EXPECT_TRUE(statement.startsWith(Q("UPDATE \"rule\" SET \"class\" = '1',\"name\" = 'lost?'")))
        << statement.toStdString();
    EXPECT_TRUE(statement.endsWith(Q("WHERE \"id\" = '4';")));
    EXPECT_EQ(boxes.shown()[0].caption, Q("执行失败"));
    EXPECT_EQ(boxes.shown()[0].text, Q("失败！已复制SQL语句：\r\n") + statement);
    EXPECT_EQ(reloads_, 0);
    EXPECT_EQ(Rows("name"), std::vector<std::string>{"kept"});
}

TEST_F(PlanEditorTest, OneWindowServesEveryOpening) {
    StorePlan(3, "first");
    store_.LoadPlans();
    editor_->OpenPlanEditor(0);
    editor_->OpenPlanEditor(1);
    editor_->close();
    editor_->OpenPlanEditor(0);
    EXPECT_TRUE(editor_->isVisible());
    int editors = 0;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->windowTitle() == Q("方案管理")) ++editors;
    }
    EXPECT_EQ(editors, 1);
    // A position the list does not hold opens a new plan, never a stale one.
    editor_->OpenPlanEditor(5);
    EXPECT_EQ(Line("框_当前方案"), Q("0"));
    EXPECT_EQ(Field<QPushButton>("提交按钮")->text(), Q("新 建"));
}

TEST_F(PlanEditorTest, FocusWritesTheFieldsHelpSegmentBySegment) {
    // The box as the user would copy it: every line break a CR LF.
    const auto status = [this] { return Box("状态输出").replace(Q("\n"), Q("\r\n")); };
    struct Case {
        const char* field;
        const char* text;  // nullptr: the box keeps what it had
    };
    const Case cases[] = {
        {"框_名", "\r\n给方案起个名吧！"},
        {"框_url", "\r\n获取新文章的列表页网址"},
        {"框_必含", "\r\n可不填\r\n文章网址必须包含哪个词\r\n\r\n\r\n\r\n只能填写1个词\r\n只能填写1个词"},
        {"框_包含",
         "\r\n可不填\r\n多个特征符用 $$ 隔开，网址至少包含1个特征符，才算文章网址：\r\n\r\n如：此处填写 "
         "wenzhang$$news "
         "表示：包含 wenzhang 或 news 的链接，才算文章的链接。即：不包含 wenzhang 也不包含 news "
         "时，该网址将被舍弃\r\n\r\n\r\n匹配到链接中，有些可能不是文章，那么我们要过滤它们。如：栏目，作者"},
        {"框_不包含",
         "\r\n可不填\r\n多个特征符用 $$ 隔开，网址不能包含任一1个特征符，否则将被过滤\r\n\r\n如：此处填写 "
         "list$$index "
         "表示：网址中包含 list 或 index 时，该网址将被舍弃 "
         "\r\n\r\n匹配到链接中，有些可能不是文章，那么我们要过滤它们。"
         "如：栏目，作者"},
        {"框_dom",
         "\r\n通常保持不变即可\r\n有些网站，匹配的网址为相对路径，需要补上域名转换成绝对地址\r\n\r\n"
         "软件会自动填写此部分，除非有特殊需要，否不用改"},
        {"框_行结构",
         "\r\n通常保持留空即可\r\n有些网站，1个网址会对应多个标题，需要根据行结构，选择用哪个标题\r\n\r\n"
         "比如，有些列表，缩略图和标题，都超链接到文章，这时，需要手动指定行结构\r\n\r\n\r\n"
         "单击右边的列表框，即可显示对应的行结构"},
        {"框_编码", nullptr},
        {"框_行结构值", nullptr},
    };
    editor_->OpenPlanEditor(0);
    editor_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor_.get()));
    for (const Case& c : cases) {
        Field<QPlainTextEdit>("状态输出")->setPlainText(Q("before"));
        Field<QWidget>("状态输出")->setFocus();
        Field<QWidget>(c.field)->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(Field<QWidget>(c.field)->hasFocus()) << c.field;
        EXPECT_EQ(status(), c.text ? Q(c.text) : Q("before")) << c.field;
    }

    Field<QPlainTextEdit>("状态输出")->setPlainText(Q("before"));
    Field<QWidget>("框_区域规则")->setFocus(Qt::TabFocusReason);
    const QString area = status();
    EXPECT_TRUE(area.startsWith(Q("\r\n告诉软件新文章显示区域\r\n\r\n可空。留空，表示不设置文章区域")))
        << area.toStdString();
    EXPECT_TRUE(area.contains(Q("\r\n<ul class=\"news\">[*]</ul> \r\n就可以了，当然也可以用： \r\n")));
    EXPECT_TRUE(
        area.contains(Q("\r\n最新更新</h3></div>[*]</ul>") + Q("\r\n").repeated(61) + Q("高级遍：\r\n")));
    EXPECT_TRUE(area.endsWith(Q("\r\nclass-[class名]-3 表示 获取页面 class\r\nid-[*]-2")));
    EXPECT_EQ(area.count(Q("\r\n")), 98);
    EXPECT_EQ(area.count(Q("--------------------------------------\r\n")), 2);

    // The focus coming back to a field (its context menu closed, the window active again) is no move
    // into it: what the box shows, a test row being read, stays.
    for (const Qt::FocusReason reason : {Qt::PopupFocusReason, Qt::ActiveWindowFocusReason}) {
        Field<QWidget>("状态输出")->setFocus();
        Field<QPlainTextEdit>("状态输出")->setPlainText(Q("row being read"));
        Field<QWidget>("框_url")->setFocus(reason);
        ASSERT_TRUE(Field<QWidget>("框_url")->hasFocus());
        EXPECT_EQ(Box("状态输出"), Q("row being read")) << reason;
    }
}

TEST_F(PlanEditorTest, OpensCentredOnTheScreen) {
    editor_->OpenPlanEditor(0);
    const QRect area = editor_->screen()->availableGeometry();
    // The offscreen screen is 800 x 800, narrower than the window: it keeps to the left edge.
    const int left = std::max(area.left(), area.left() + (area.width() - editor_->width()) / 2);
    const int top = std::max(area.top(), area.top() + (area.height() - editor_->height()) / 2);
    EXPECT_EQ(editor_->pos(), QPoint(left, top));
    EXPECT_GT(top, area.top());
}

}  // namespace
}  // namespace marl::ui
