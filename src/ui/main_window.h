#pragma once
#include <QString>
#include <QWidget>
#include <functional>

#include "text/text.h"
#include "ui/frameless_handles.h"

class QLineEdit;
class QMenu;
class QPushButton;
class QTabWidget;

namespace marl::ui {

class ArticleList;
class ImageButton;
class PlanTreeWidget;
class StatusBox;

// The address of our release page, handed to the clipboard and the browser by "版本升级".
QString ReleasePageAddress();
// The product description shown by "关于..".
QString ProductDescription();

// The main window: frameless, 900 x 600, with its own title bar and window buttons, the plan tree,
// the article list on the first page of a tab control, the status box, the frequency box and the
// start button. Every control's objectName is its name in the window template. The program's work
// behind the start button, the plan tree and the close request is wired in by the program.
class MainWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kWidth = 900;
    static constexpr int kHeight = 600;

    explicit MainWindow(QWidget* parent = nullptr);

    PlanTreeWidget* plan_tree() const { return plan_tree_; }
    ArticleList* article_list() const { return article_list_; }
    StatusBox* status_box() const { return status_box_; }
    QLineEdit* frequency_box() const { return frequency_box_; }
    QPushButton* start_button() const { return start_button_; }
    QTabWidget* tabs() const { return tabs_; }
    ImageButton* maximise_button() const { return maximise_button_; }
    QMenu* article_menu() const { return article_menu_; }
    QMenu* settings_menu() const { return settings_menu_; }

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
    void ShowSelectedArticle();
    void OpenSelectedArticle();
    void ApplyPageRule(int index);

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

    std::function<bool()> close_request_;
    std::function<void()> command_settings_;
    bool move_by_background_ = false;
    WindowDrag background_drag_;
};

}  // namespace marl::ui
