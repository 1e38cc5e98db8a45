// The main window's pages 查询 and 收藏 over a real marltips.db: the search field, the results and
// their lazy loading, the article menu's 收藏 and the favourites' 取消收藏.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "store/database.h"
#include "store/plan_record.h"
#include "store/raw_sqlite.h"
#include "store/search_index.h"
#include "support/gui/browser_stand_in.h"
#include "support/plan_rows.h"
#include "support/temp_dir.h"
#include "text/gbk_codec.h"
#include "ui/article_list.h"
#include "ui/main_window.h"
#include "ui/status_box.h"

namespace marl::ui {
namespace {

constexpr int kWaitMs = 5000;

struct Stored {
    int32_t plan_id;
    std::string title, url, addtime;  // UTF-8
};

class MainWindowHistoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::CreateDatabaseFile(Db());
        Database db;
        ASSERT_TRUE(db.Open(Db()));
        ASSERT_TRUE(test::InsertPlanRow(db, 3, "新闻", "http://127.0.0.1:8080/news/index.html"));
        ASSERT_TRUE(test::InsertPlanRow(db, 7, "公告", "http://127.0.0.1:8080/notice/"));
        std::vector<PlanRecord> plans(2);
        plans[0].id = 3;
        plans[0].name = Gbk("新闻");
        plans[0].url = "http://127.0.0.1:8080/news/index.html";
        plans[1].id = 7;
        plans[1].name = Gbk("公告");
        plans[1].url = "http://127.0.0.1:8080/notice/";
        plans_.Set(std::make_shared<PlanList>(std::move(plans)));
    }

    std::string Db() const { return dir_.File("marltips.db"); }

    // Records the articles in this order, as the monitor does (each with its plan's id).
    void Record(const std::vector<Stored>& articles) {
        Database db;
        ASSERT_TRUE(db.Open(Db()));
        for (const Stored& a : articles) {
            ASSERT_EQ(db.CheckArticle(Gbk(a.url)), Database::Seen::kNew) << a.url;
            ASSERT_TRUE(db.StoreArticle(
                ArticleRecord{a.plan_id == 3 ? "1" : "2", Gbk(a.title), Gbk(a.url), a.addtime}));
            ASSERT_TRUE(db.StoreArticlePlan(a.plan_id));
        }
        ASSERT_EQ(db.CommitArticles(), 0);
    }
    void BuildIndex() {
        std::string why;
        ASSERT_TRUE(BuildSearchIndex(Db(), {}, why)) << why;
    }

    std::unique_ptr<MainWindow> OpenWindow() {
        auto window = std::make_unique<MainWindow>();
        window->SetArticleDatabase(Db(), &plans_);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window;
    }
    void SearchWithEnter(MainWindow& window, const QString& words) {
        window.search_box()->setText(words);
        QTest::keyClick(window.search_box(), Qt::Key_Return);
    }
    static std::vector<QString> Column(const ArticleList* list, int column) {
        std::vector<QString> texts;
        for (int row = 0; row < list->topLevelItemCount(); ++row)
            texts.push_back(list->CellText(row, column));
        return texts;
    }
    static QPoint RowCentre(ArticleList* list, int row) {
        return list->visualItemRect(list->topLevelItem(row)).center();
    }
    static void ChoosePage(MainWindow& window, int index) {
        QTest::mouseClick(window.tabs()->tabBar(), Qt::LeftButton, {},
                          window.tabs()->tabBar()->tabRect(index).center());
    }
    // Opens the article menu on `list` as a right click does and returns its 收藏.
    static QAction* MenuOn(MainWindow& window, ArticleList* list) {
        QTest::mousePress(list->viewport(), Qt::RightButton, {}, QPoint(50, 5));
        EXPECT_TRUE(window.article_menu()->isVisible());
        window.article_menu()->hide();
        return window.article_menu()->actions()[0];
    }

    test::TempDir dir_;
    SharedPlanList plans_;
    test::BrowserStandIn browser_;
};

TEST_F(MainWindowHistoryTest, TypingSearchesAfterAPauseAndEnterAtOnceNewestFirst) {
    Record({{3, "本市地铁三号线开通", "http://127.0.0.1:8080/news/1.html", "2024-03-05 07:08:09"},
            {7, "天气预报", "http://127.0.0.1:8080/notice/2.html", "2024-03-05 08:00:00"},
            {7, "地铁票价调整 Metro", "http://127.0.0.1:8080/notice/3.html", ""}});
    BuildIndex();
    auto window = OpenWindow();
    ArticleList* results = window->search_list();

    // Chinese words come from the input method, as committed text.
    window->search_box()->setFocus();
    for (const QString& character : {QStringLiteral("地"), QStringLiteral("铁")}) {
        QInputMethodEvent typed;
        typed.setCommitString(character);
        QCoreApplication::sendEvent(window->search_box(), &typed);
    }
    ASSERT_EQ(window->search_box()->text(), QStringLiteral("地铁"));
    // Nothing is read while the user is typing.
    EXPECT_EQ(results->topLevelItemCount(), 0);
    EXPECT_EQ(window->tabs()->currentIndex(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return results->topLevelItemCount() == 2; }, kWaitMs));
    EXPECT_EQ(window->tabs()->currentIndex(), 1);
    EXPECT_TRUE(results->isVisible());
    EXPECT_FALSE(window->article_list()->isVisible());
    EXPECT_EQ(window->search_count()->text(), QStringLiteral("找到 2 篇"));
    EXPECT_EQ(
        Column(results, ArticleList::kColumnTitle),
        (std::vector<QString>{QStringLiteral("地铁票价调整 Metro"), QStringLiteral("本市地铁三号线开通")}));
    EXPECT_EQ(Column(results, ArticleList::kColumnPlan),
              (std::vector<QString>{QStringLiteral("公告"), QStringLiteral("新闻")}));
    // The time as the article list shows it; none for a row recorded without one.
    EXPECT_EQ(Column(results, ArticleList::kColumnTime),
              (std::vector<QString>{QString(), QStringLiteral("03-05 07:08")}));
    EXPECT_EQ(results->CellText(1, ArticleList::kColumnLink),
              QStringLiteral("http://127.0.0.1:8080/news/1.html"));
    // The same columns as the article list.
    ASSERT_EQ(results->columnCount(), 5);
    for (int column = 0; column < 5; ++column) {
        EXPECT_EQ(results->headerItem()->text(column), window->article_list()->headerItem()->text(column));
        EXPECT_EQ(results->isColumnHidden(column), window->article_list()->isColumnHidden(column));
    }

    // Enter searches at once, every word must occur, ASCII case-blind.
    SearchWithEnter(*window, QStringLiteral("metro 票价"));
    EXPECT_EQ(Column(results, ArticleList::kColumnTitle),
              (std::vector<QString>{QStringLiteral("地铁票价调整 Metro")}));
    EXPECT_EQ(window->search_count()->text(), QStringLiteral("找到 1 篇"));
    SearchWithEnter(*window, QStringLiteral("地铁 雨"));
    EXPECT_EQ(results->topLevelItemCount(), 0);
    EXPECT_EQ(window->search_count()->text(), QStringLiteral("找到 0 篇"));

    // An empty field empties the page.
    SearchWithEnter(*window, QStringLiteral("地铁"));
    ASSERT_EQ(results->topLevelItemCount(), 2);
    SearchWithEnter(*window, QStringLiteral("   "));
    EXPECT_EQ(results->topLevelItemCount(), 0);
    EXPECT_EQ(window->search_count()->text(), QString());
}

TEST_F(MainWindowHistoryTest, ScrollingToTheEndLoadsTheNextPage) {
    std::vector<Stored> many;
    for (int i = 1; i <= 450; ++i) {
        many.push_back({3, "第" + std::to_string(i) + "篇 通知",
                        "http://127.0.0.1:8080/news/" + std::to_string(i), "2024-03-05 07:08:09"});
    }
    Record(many);
    BuildIndex();
    auto window = OpenWindow();
    ArticleList* results = window->search_list();
    SearchWithEnter(*window, QStringLiteral("通知"));
    // The first page shows at once; the number of all results follows from a thread of its own.
    ASSERT_EQ(results->topLevelItemCount(), MainWindow::kPageRows);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return window->search_count()->text() == QStringLiteral("找到 450 篇"); }, kWaitMs))
        << window->search_count()->text().toStdString();

    const int expected[] = {400, 450, 450};
    for (const int rows : expected) {
        results->scrollToBottom();
        ASSERT_EQ(results->topLevelItemCount(), rows);
    }
    // Newest first across the pages, none twice.
    std::vector<QString> titles = Column(results, ArticleList::kColumnTitle);
    for (int i = 0; i < 450; ++i) EXPECT_EQ(titles[i], QStringLiteral("第%1篇 通知").arg(450 - i)) << i;
    EXPECT_EQ(window->search_count()->text(), QStringLiteral("找到 450 篇"));

    // A search typed while the last one is still being counted: the old number never shows.
    SearchWithEnter(*window, QStringLiteral("通知"));
    SearchWithEnter(*window, QStringLiteral("第450篇"));
    EXPECT_EQ(window->search_count()->text(), QStringLiteral("找到 1 篇"));
    QTest::qWait(300);
    EXPECT_EQ(window->search_count()->text(), QStringLiteral("找到 1 篇"));
    // A window closed while counting waits for nothing long.
    SearchWithEnter(*window, QStringLiteral("通知"));
    window.reset();
}

TEST_F(MainWindowHistoryTest, ResultsActAsTheArticleListOnClickAndDoubleClick) {
    Record({{3, "站内链接", "2.html?x=1&amp;y=2", "2024-03-05 07:08:09"},
            {7, "危险链接", "javascript:alert(1)", "2024-03-05 07:09:09"}});
    BuildIndex();
    auto window = OpenWindow();
    ArticleList* results = window->search_list();
    SearchWithEnter(*window, QStringLiteral("链接"));
    ASSERT_EQ(results->topLevelItemCount(), 2);

    QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, RowCentre(results, 1));
    EXPECT_EQ(window->status_box()->WholeText(), QStringLiteral("站内链接\n2.html?x=1&amp;y=2"));
    // A link recorded without its site opens against its plan's list page, with plain ampersands.
    QTest::mouseDClick(results->viewport(), Qt::LeftButton, {}, RowCentre(results, 1));
    ASSERT_EQ(browser_.opened.size(), 1u);
    EXPECT_EQ(browser_.opened[0].toString(), QStringLiteral("http://127.0.0.1:8080/news/2.html?x=1&y=2"));
    // Only web addresses reach the browser.
    QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, RowCentre(results, 0));
    QTest::mouseDClick(results->viewport(), Qt::LeftButton, {}, RowCentre(results, 0));
    EXPECT_EQ(browser_.opened.size(), 1u);
    EXPECT_TRUE(
        window->status_box()->WholeText().contains(QStringLiteral("无法打开文章网址：javascript:alert(1)")));
}

TEST_F(MainWindowHistoryTest, FavouriteIsEnabledOnlyOnASelectedRowAndClearOnlyOnTheArticleList) {
    Record({{3, "地铁", "http://127.0.0.1:8080/news/1.html", ""}});
    BuildIndex();
    auto window = OpenWindow();
    ArticleList* list = window->article_list();
    list->InsertArticleRow(QStringLiteral("新闻"), QStringLiteral("地铁"),
                           QStringLiteral("http://127.0.0.1:8080/news/1.html"),
                           QStringLiteral("03-05 07:08"));
    QAction* clear = window->article_menu()->actions()[1];

    EXPECT_FALSE(MenuOn(*window, list)->isEnabled());
    EXPECT_TRUE(clear->isVisible());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, RowCentre(list, 0));
    EXPECT_TRUE(MenuOn(*window, list)->isEnabled());

    SearchWithEnter(*window, QStringLiteral("地铁"));
    ArticleList* results = window->search_list();
    ASSERT_EQ(results->topLevelItemCount(), 1);
    // The menu on the results knows their selection, not the article list's.
    EXPECT_FALSE(MenuOn(*window, results)->isEnabled());
    EXPECT_FALSE(clear->isVisible());
    QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, RowCentre(results, 0));
    EXPECT_TRUE(MenuOn(*window, results)->isEnabled());
    results->clearSelection();
    EXPECT_FALSE(MenuOn(*window, results)->isEnabled());
    // Back on the article list: 清空 again, and it empties that list only.
    ChoosePage(*window, 0);
    EXPECT_TRUE(MenuOn(*window, list)->isEnabled());
    ASSERT_TRUE(clear->isVisible());
    clear->trigger();
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_EQ(results->topLevelItemCount(), 1);
}

TEST_F(MainWindowHistoryTest, FavouritesOutliveTheWindowAndCanBeTakenBack) {
    Record({{3, "地铁一号线", "http://127.0.0.1:8080/news/1.html", "2024-03-05 07:08:09"},
            {7, "地铁二号线", "http://127.0.0.1:8080/notice/2.html", "2024-03-05 07:09:09"},
            {7, "公交", "http://127.0.0.1:8080/notice/3.html", "2024-03-05 07:10:09"}});
    BuildIndex();
    {
        auto window = OpenWindow();
        // From the results of 查询.
        SearchWithEnter(*window, QStringLiteral("二号线"));
        ArticleList* results = window->search_list();
        ASSERT_EQ(results->topLevelItemCount(), 1);
        QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, RowCentre(results, 0));
        MenuOn(*window, results)->trigger();
        EXPECT_TRUE(window->status_box()->WholeText().contains(QStringLiteral("已收藏：地铁二号线")));
        // From the article list, found in the file by its address.
        ChoosePage(*window, 0);
        ArticleList* list = window->article_list();
        list->InsertArticleRow(QStringLiteral("新闻"), QStringLiteral("地铁一号线"),
                               QStringLiteral("http://127.0.0.1:8080/news/1.html"),
                               QStringLiteral("03-05 07:08"));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, RowCentre(list, 0));
        MenuOn(*window, list)->trigger();
        EXPECT_TRUE(window->status_box()->WholeText().contains(QStringLiteral("已收藏：地铁一号线")));
        ChoosePage(*window, 2);
        EXPECT_EQ(window->favourite_list()->topLevelItemCount(), 2);
    }
    // A new window on the same file: newest favourite first.
    auto window = OpenWindow();
    ArticleList* favourites = window->favourite_list();
    EXPECT_EQ(favourites->topLevelItemCount(), 0);  // read when the page is chosen
    ChoosePage(*window, 2);
    EXPECT_TRUE(favourites->isVisible());
    EXPECT_EQ(Column(favourites, ArticleList::kColumnTitle),
              (std::vector<QString>{QStringLiteral("地铁一号线"), QStringLiteral("地铁二号线")}));
    EXPECT_EQ(Column(favourites, ArticleList::kColumnPlan),
              (std::vector<QString>{QStringLiteral("新闻"), QStringLiteral("公告")}));
    EXPECT_EQ(favourites->CellText(1, ArticleList::kColumnTime), QStringLiteral("03-05 07:09"));

    // 取消收藏 needs a selected row.
    QTest::mousePress(favourites->viewport(), Qt::RightButton, {}, QPoint(50, 5));
    ASSERT_TRUE(window->favourite_menu()->isVisible());
    window->favourite_menu()->hide();
    ASSERT_EQ(window->favourite_menu()->actions()[0]->text(), QStringLiteral("取消收藏"));
    EXPECT_FALSE(window->favourite_menu()->actions()[0]->isEnabled());
    QTest::mouseClick(favourites->viewport(), Qt::LeftButton, {}, RowCentre(favourites, 0));
    QTest::mousePress(favourites->viewport(), Qt::RightButton, {}, QPoint(50, 5));
    window->favourite_menu()->hide();
    ASSERT_TRUE(window->favourite_menu()->actions()[0]->isEnabled());
    window->favourite_menu()->actions()[0]->trigger();
    EXPECT_EQ(Column(favourites, ArticleList::kColumnTitle),
              (std::vector<QString>{QStringLiteral("地铁二号线")}));
    EXPECT_TRUE(window->status_box()->WholeText().contains(QStringLiteral("已取消收藏：地铁一号线")));

    auto again = OpenWindow();
    ChoosePage(*again, 2);
    EXPECT_EQ(Column(again->favourite_list(), ArticleList::kColumnTitle),
              (std::vector<QString>{QStringLiteral("地铁二号线")}));
}

TEST_F(MainWindowHistoryTest, AnArticleNotYetInTheFileIsNotFavouritedAndSaysSo) {
    auto window = OpenWindow();
    ArticleList* list = window->article_list();
    // Shown by the monitor a moment before it is stored.
    list->InsertArticleRow(QStringLiteral("新闻"), QStringLiteral("刚到"),
                           QStringLiteral("http://127.0.0.1:8080/news/9.html"),
                           QStringLiteral("03-05 07:08"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, RowCentre(list, 0));
    MenuOn(*window, list)->trigger();
    EXPECT_TRUE(
        window->status_box()->WholeText().contains(QStringLiteral("收藏失败：这篇文章还没有写入数据库")));
    ChoosePage(*window, 2);
    EXPECT_EQ(window->favourite_list()->topLevelItemCount(), 0);
}

TEST_F(MainWindowHistoryTest, SearchSaysWhyItCannotSearch) {
    Record({{3, "地铁", "http://127.0.0.1:8080/news/1.html", ""}});
    {
        // No index yet: the reader's reason, or what the program says while it builds one.
        auto window = OpenWindow();
        SearchWithEnter(*window, QStringLiteral("地铁"));
        EXPECT_EQ(window->tabs()->currentIndex(), 1);
        EXPECT_EQ(window->search_list()->topLevelItemCount(), 0);
        EXPECT_TRUE(window->search_count()->text().startsWith(QStringLiteral("无法搜索：")))
            << window->search_count()->text().toStdString();
        window->SetSearchIndexNote(QStringLiteral("正在建立搜索索引"));
        SearchWithEnter(*window, QStringLiteral("地铁"));
        EXPECT_EQ(window->search_count()->text(), QStringLiteral("正在建立搜索索引"));
    }
    BuildIndex();
    {
        // Another program holds the file.
        auto window = OpenWindow();
        test::RawSqlite other(Db());
        other.Exec("BEGIN EXCLUSIVE");
        SearchWithEnter(*window, QStringLiteral("地铁"));
        EXPECT_EQ(window->search_count()->text(), QStringLiteral("数据库正被其他程序占用，请稍后再试"));
        other.Exec("ROLLBACK");
        SearchWithEnter(*window, QStringLiteral("地铁"));
        EXPECT_EQ(window->search_count()->text(), QStringLiteral("找到 1 篇"));
    }
    // No file at all, and no database given: said, never a crash.
    MainWindow missing;
    missing.SetArticleDatabase(dir_.File("nothing.db"), &plans_);
    SearchWithEnter(missing, QStringLiteral("地铁"));
    EXPECT_TRUE(missing.search_count()->text().startsWith(QStringLiteral("无法读取数据库 marltips.db")));
    MainWindow none;
    SearchWithEnter(none, QStringLiteral("地铁"));
    EXPECT_EQ(none.search_count()->text(), QStringLiteral("没有打开数据库 marltips.db，无法读取文章"));
    none.tabs()->setCurrentIndex(2);
    EXPECT_TRUE(none.status_box()->WholeText().contains(QStringLiteral("收藏读取失败")));
}

}  // namespace
}  // namespace marl::ui
