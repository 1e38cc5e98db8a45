#pragma once
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>

#include "store/article_reader.h"
#include "text/text.h"
#include "ui/frameless_handles.h"

class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTabWidget;
class QTimer;

namespace marl {
class SharedPlanList;
}  // namespace marl

namespace marl::ui {

class ArticleList;
class ImageButton;
class PlanTreeWidget;
class SearchCounter;
class StatusBox;

// The address of our release page, handed to the clipboard and the browser by "版本升级".
QString ReleasePageAddress();
// The product description shown by "关于..".
QString ProductDescription();

// The main window: frameless, 900 x 600, with its own title bar and window buttons, the plan tree,
// the article list on the first page of a tab control, the status box, the frequency box and the
// start button. Every control's objectName is its name in the window template. The program's work
// behind the start button, the plan tree and the close request is wired in by the program.
// The pages 查询 and 收藏 read the recorded articles of marltips.db: the search field's words (after
// Enter or a pause in typing) and the favourites, each in a list like the article list, loaded a
// page of rows at a time as the list is scrolled to its end.
class MainWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kWidth = 900;
    static constexpr int kHeight = 600;
    // The pause in typing after which the search field searches.
    static constexpr int kSearchPauseMs = 300;
    // Rows read at a time for the 查询 and 收藏 lists.
    static constexpr int kPageRows = 200;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    PlanTreeWidget* plan_tree() const { return plan_tree_; }
    ArticleList* article_list() const { return article_list_; }
    StatusBox* status_box() const { return status_box_; }
    QLineEdit* frequency_box() const { return frequency_box_; }
    QPushButton* start_button() const { return start_button_; }
    QTabWidget* tabs() const { return tabs_; }
    ImageButton* maximise_button() const { return maximise_button_; }
    QMenu* article_menu() const { return article_menu_; }
    QMenu* settings_menu() const { return settings_menu_; }
    QLineEdit* search_box() const { return search_box_; }
    ArticleList* search_list() const { return search_list_; }
    QLabel* search_count() const { return search_count_; }
    ArticleList* favourite_list() const { return favourite_list_; }
    QMenu* favourite_menu() const { return favourite_menu_; }

    // The database file the pages 查询 and 收藏 read and 收藏 writes (UTF-8 path), and the plan list
    // that tells a stored article's list-page address. Without a file they say it cannot be read.
    void SetArticleDatabase(const std::string& path, const SharedPlanList* plans);
    // What the 查询 page says while the file has no search index yet (its build going on); empty:
    // what the reader says.
    void SetSearchIndexNote(const QString& note);
    // Searches for the search field's words now and shows the first page of results on 查询; an
    // empty field empties the page.
    void Search();
    // Reads the favourites again into the 收藏 page.
    void ReloadFavourites();
    // Keeps the selected row of the list the article menu was opened on as a favourite.
    void FavouriteSelected();
    // Takes the selected row of the 收藏 list out of the favourites.
    void UnfavouriteSelected();
    // Appends a status line stamped with the current time.
    void AppendStatusLine(const QString& message);

    // Every close request (关闭, the system's close, Alt+F4) asks this; false refuses the close.
    // Without a handler the window closes.
    void SetCloseRequestHandler(std::function<bool()> handler);

    // The settings menu's third entry, 新文章命令: what opens the command dialog (wired by the program).
    void SetCommandSettingsHandler(std::function<void()> handler);

    // Moves the window to the centre of its screen.
    void CentreOnScreen();
    // Places the controls that follow the window's size.
    void ApplyLayout();
    // Maximises a normal window and restores any other; the button's pictures and move-by-background
    // follow.
    void ToggleMaximise();
    bool move_by_background() const { return move_by_background_; }

    // Opens a stored article link in the browser, a link without a scheme resolved against its plan's
    // list-page address; one that still cannot be opened gets a status line saying so.
    void OpenArticle(const Text& stored, const Text& list_address);

    // The menu items of 菜单的文章 and 菜单的设置.
    void ClearArticles();
    void ShowReleasePage();
    void ShowAbout();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void BuildTitleBar();
    void BuildBody();
    void BuildMenus();
    void ApplyPageRule(int index);
    void BuildHistoryPages();
    void ShowArticleMenu(ArticleList* source, const QPoint& global);
    void ShowSelectedArticle(ArticleList* list);
    void OpenSelectedArticle(ArticleList* list);
    // One list of stored articles: the query behind it (its offset moved on by every page read), the
    // number of all matches and the articles shown, so that a page read after new articles came in
    // does not show one twice.
    struct StoredRows {
        ArticleList* list = nullptr;
        ArticleQuery query;
        int64_t total = 0;
        bool exhausted = false;  // the last page came back short: nothing more to read
        std::unordered_set<int64_t> shown;
    };
    // Reads the next page of `rows` into its list; false (the list untouched) when the file could not
    // answer, with the reason in `why`.
    bool LoadPage(StoredRows& rows, QString& why);
    void LoadMoreResults();
    void LoadMoreFavourites();
    QString ListAddressOfPlan(const std::optional<int32_t>& plan_id) const;

    QWidget* top_ = nullptr;
    QWidget* search_group_ = nullptr;
    QWidget* button_group_ = nullptr;
    ImageButton* maximise_button_ = nullptr;
    PlanTreeWidget* plan_tree_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    ArticleList* article_list_ = nullptr;
    StatusBox* status_box_ = nullptr;
    QWidget* start_group_ = nullptr;
    QLineEdit* frequency_box_ = nullptr;
    QPushButton* start_button_ = nullptr;
    ResizeGrip* grip_ = nullptr;
    QMenu* article_menu_ = nullptr;
    QMenu* settings_menu_ = nullptr;
    QLineEdit* search_box_ = nullptr;
    QTimer* search_timer_ = nullptr;
    ArticleList* search_list_ = nullptr;
    QLabel* search_count_ = nullptr;
    ArticleList* favourite_list_ = nullptr;
    QMenu* favourite_menu_ = nullptr;
    // The list the article menu was last opened on: its 收藏 acts on that list's selected row.
    ArticleList* menu_source_ = nullptr;

    std::string database_path_;
    const SharedPlanList* plans_ = nullptr;
    // What the 查询 and 收藏 lists show and how far they have been read; none while empty.
    std::unique_ptr<StoredRows> search_rows_, favourite_rows_;
    QString search_index_note_;
    std::unique_ptr<SearchCounter> search_counter_;  // the number of all results, off the UI thread

    std::function<bool()> close_request_;
    std::function<void()> command_settings_;
    bool move_by_background_ = false;
    WindowDrag background_drag_;
};

}  // namespace marl::ui
