// The main window's pages 查询 and 收藏: the search field's results and the favourites, read from
// marltips.db a page of rows at a time, and the article menu's 收藏 with the favourites' 取消收藏.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <utility>

#include "monitor/status_log.h"
#include "store/article_lookup.h"
#include "store/article_reader.h"
#include "store/favourites.h"
#include "store/plan_record.h"
#include "ui/article_list.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/search_counter.h"

namespace marl::ui {
namespace {

// How long a read on the UI thread waits for another program's commit before it says the file is
// busy.
constexpr std::chrono::milliseconds kReadWait{1000};

// The result line's height: the 查询 list begins below it.
constexpr int kCountLineHeight = 22;

QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

MainWindow::~MainWindow() = default;

void MainWindow::BuildHistoryPages() {
    // 查询: the result line, then the results, in the place of the article list.
    search_count_ = new QLabel(tabs_);
    search_count_->setObjectName(QStringLiteral("标签_查询结果"));
    search_count_->setTextFormat(Qt::PlainText);
    search_count_->setGeometry(article_list_->x() + 4, article_list_->y(), article_list_->width() - 8,
                               kCountLineHeight);
    search_list_ = new ArticleList(tabs_);
    search_list_->setObjectName(QStringLiteral("超级列表框_查询"));
    search_list_->setGeometry(article_list_->x(), article_list_->y() + kCountLineHeight,
                              article_list_->width(), article_list_->height() - kCountLineHeight);
    // 收藏: the favourites, exactly where the article list is.
    favourite_list_ = new ArticleList(tabs_);
    favourite_list_->setObjectName(QStringLiteral("超级列表框_收藏"));
    favourite_list_->setGeometry(article_list_->geometry());
    for (QWidget* control : {static_cast<QWidget*>(search_count_), static_cast<QWidget*>(search_list_),
                             static_cast<QWidget*>(favourite_list_)}) {
        control->raise();
    }

    for (ArticleList* list : {search_list_, favourite_list_}) {
        connect(list, &ArticleList::Clicked, this, [this, list] { ShowSelectedArticle(list); });
        connect(list, &ArticleList::DoubleClicked, this, [this, list] { OpenSelectedArticle(list); });
    }
    connect(search_list_, &ArticleList::RightClicked, this,
            [this](const QPoint& global) { ShowArticleMenu(search_list_, global); });
    connect(search_list_, &ArticleList::ScrolledToEnd, this, [this] { LoadMoreResults(); });
    connect(favourite_list_, &ArticleList::ScrolledToEnd, this, [this] { LoadMoreFavourites(); });

    favourite_menu_ = new QMenu(this);
    favourite_menu_->setObjectName(QStringLiteral("菜单的收藏"));
    connect(favourite_menu_->addAction(QStringLiteral("取消收藏")), &QAction::triggered, this,
            [this] { UnfavouriteSelected(); });
    connect(favourite_list_, &ArticleList::RightClicked, this, [this](const QPoint& global) {
        favourite_menu_->actions()[0]->setEnabled(favourite_list_->SelectedRow() >= 0);
        favourite_menu_->popup(global);
    });

    search_counter_ = std::make_unique<SearchCounter>(this);

    // Enter searches at once; typing searches after a pause.
    search_timer_ = new QTimer(this);
    search_timer_->setSingleShot(true);
    search_timer_->setInterval(kSearchPauseMs);
    connect(search_timer_, &QTimer::timeout, this, [this] { Search(); });
    connect(search_box_, &QLineEdit::textEdited, this, [this] { search_timer_->start(); });
    connect(search_box_, &QLineEdit::returnPressed, this, [this] { Search(); });

    ApplyPageRule(tabs_->currentIndex());
}

void MainWindow::SetArticleDatabase(const std::string& path, const SharedPlanList* plans) {
    database_path_ = path;
    plans_ = plans;
}

void MainWindow::SetSearchIndexNote(const QString& note) { search_index_note_ = note; }

void MainWindow::ShowArticleMenu(ArticleList* source, const QPoint& global) {
    menu_source_ = source;
    const QList<QAction*> items = article_menu_->actions();
    items[0]->setEnabled(source->SelectedRow() >= 0);  // 收藏
    // 清空 empties the article list only: it has no place on the results of 查询.
    items[1]->setVisible(source == article_list_);
    article_menu_->popup(global);
}

QString MainWindow::ListAddressOfPlan(const std::optional<int32_t>& plan_id) const {
    if (!plan_id || plans_ == nullptr) return {};
    const PlanListPtr plans = plans_->Get();
    for (const PlanRecord& plan : plans->records()) {
        if (plan.id == *plan_id) return ToQString(plan.url);
    }
    return {};
}

bool MainWindow::LoadPage(StoredRows& rows, QString& why) {
    if (database_path_.empty()) {
        why = QStringLiteral("没有打开数据库 marltips.db，无法读取文章");
        return false;
    }
    // A connection for this read only: between the user's reads the window holds nothing open on
    // the file.
    ArticleReader reader(database_path_);
    ArticleSnapshot snapshot;
    const ArticleReadResult result = reader.Read(rows.query, snapshot);
    if (result != ArticleReadResult::kOk) {
        const QString reason = Utf8(reader.LastReason());
        switch (result) {
            case ArticleReadResult::kNoSearch:
                why = !search_index_note_.isEmpty() ? search_index_note_
                                                    : QStringLiteral("无法搜索：") + reason;
                break;
            case ArticleReadResult::kBusy:
                why = QStringLiteral("数据库正被其他程序占用，请稍后再试");
                break;
            default:
                why = QStringLiteral("无法读取数据库 marltips.db") +
                      (reason.isEmpty() ? QString() : QStringLiteral("：") + reason);
                break;
        }
        return false;
    }
    if (rows.query.count_total) rows.total = snapshot.total;
    rows.query.count_total = false;
    rows.query.offset += static_cast<int64_t>(snapshot.articles.size());
    rows.exhausted = static_cast<int64_t>(snapshot.articles.size()) < rows.query.limit;
    for (const RecordedArticle& article : snapshot.articles) {
        if (!rows.shown.insert(article.article).second) continue;
        rows.list->AppendStoredRow(article.article, Utf8(article.plan), Utf8(article.title),
                                   Utf8(article.url), ToQString(ShortTimeOf(article.addtime)),
                                   ListAddressOfPlan(article.plan_id));
    }
    return true;
}

void MainWindow::Search() {
    search_timer_->stop();
    search_counter_->Stop();
    search_list_->clear();
    search_rows_.reset();
    const QString words = search_box_->text().simplified();
    if (words.isEmpty()) {
        search_count_->clear();
        return;
    }
    auto rows = std::make_unique<StoredRows>();
    rows->list = search_list_;
    rows->query.words = words.toUtf8().toStdString();
    rows->query.limit = kPageRows;
    rows->query.busy_timeout = kReadWait;
    QString why;
    if (LoadPage(*rows, why)) {
        if (rows->exhausted) {
            // Every match is on the first page.
            rows->total = static_cast<int64_t>(rows->shown.size());
            search_count_->setText(QStringLiteral("找到 %1 篇").arg(rows->total));
        } else {
            // More than a page: the rows show now, their number when it has been counted.
            const QString more = QStringLiteral("找到 %1 篇以上").arg(rows->shown.size());
            search_count_->setText(more + QStringLiteral("，正在统计……"));
            search_counter_->Start(database_path_, rows->query, [this, more](bool counted, int64_t total) {
                if (search_rows_) search_rows_->total = total;
                search_count_->setText(counted ? QStringLiteral("找到 %1 篇").arg(total) : more);
            });
        }
        search_rows_ = std::move(rows);
    } else {
        search_count_->setText(why);
    }
    tabs_->setCurrentIndex(1);
}

void MainWindow::LoadMoreResults() {
    if (!search_rows_ || search_rows_->exhausted) return;
    QString why;
    if (!LoadPage(*search_rows_, why)) search_count_->setText(why);
}

void MainWindow::ReloadFavourites() {
    favourite_list_->clear();
    auto rows = std::make_unique<StoredRows>();
    rows->list = favourite_list_;
    rows->query.favourites_only = true;
    rows->query.limit = kPageRows;
    rows->query.busy_timeout = kReadWait;
    QString why;
    if (LoadPage(*rows, why)) {
        favourite_rows_ = std::move(rows);
    } else {
        favourite_rows_.reset();
        AppendStatusLine(QStringLiteral("收藏读取失败：") + why);
    }
}

void MainWindow::LoadMoreFavourites() {
    if (!favourite_rows_ || favourite_rows_->exhausted) return;
    QString why;
    if (!LoadPage(*favourite_rows_, why)) AppendStatusLine(QStringLiteral("收藏读取失败：") + why);
}

void MainWindow::FavouriteSelected() {
    ArticleList* list = menu_source_;
    const int row = list != nullptr ? list->SelectedRow() : -1;
    if (row < 0) return;
    const QString title = list->CellText(row, ArticleList::kColumnTitle);
    if (database_path_.empty()) {
        AppendStatusLine(QStringLiteral("收藏失败：没有打开数据库 marltips.db"));
        return;
    }
    int64_t article = list->ArticleId(row);
    std::string why;
    if (article == 0) {
        // A row of the article list: its article is found by the address it was recorded under.
        const std::string url = list->CellText(row, ArticleList::kColumnLink).toUtf8().toStdString();
        if (!FindArticleByUrl(database_path_, url, article, why)) {
            AppendStatusLine(QStringLiteral("收藏失败：") + Utf8(why));
            return;
        }
        if (article == 0) {
            // Shown before it is stored: the monitor writes it a moment later.
            AppendStatusLine(QStringLiteral("收藏失败：这篇文章还没有写入数据库，请稍后再收藏"));
            return;
        }
    }
    if (!SetFavourite(database_path_, article, true, why)) {
        AppendStatusLine(QStringLiteral("收藏失败：") + Utf8(why));
        return;
    }
    AppendStatusLine(QStringLiteral("已收藏：") + title);
}

void MainWindow::UnfavouriteSelected() {
    const int row = favourite_list_->SelectedRow();
    if (row < 0 || database_path_.empty()) return;
    const int64_t article = favourite_list_->ArticleId(row);
    const QString title = favourite_list_->CellText(row, ArticleList::kColumnTitle);
    std::string why;
    if (!SetFavourite(database_path_, article, false, why)) {
        AppendStatusLine(QStringLiteral("取消收藏失败：") + Utf8(why));
        return;
    }
    delete favourite_list_->takeTopLevelItem(row);
    if (favourite_rows_) {
        // The next page begins one favourite earlier now.
        favourite_rows_->shown.erase(article);
        favourite_rows_->query.offset = std::max<int64_t>(0, favourite_rows_->query.offset - 1);
    }
    AppendStatusLine(QStringLiteral("已取消收藏：") + title);
}

}  // namespace marl::ui
