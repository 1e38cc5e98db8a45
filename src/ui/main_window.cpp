#include "ui/main_window.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QCursor>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <chrono>
#include <utility>

#include "monitor/status_log.h"
#include "store/article_reader.h"
#include "ui/article_list.h"
#include "ui/image_button.h"
#include "ui/main_layout.h"
#include "ui/message_box.h"
#include "ui/open_link.h"
#include "ui/plans/plan_tree_widget.h"
#include "ui/qt_text.h"
#include "ui/search_counter.h"
#include "ui/status_box.h"
#include "ui/window_icons.h"
#include "web/article_address.h"

namespace marl::ui {
namespace {

constexpr int kGripSize = 10;

template <typename W>
W* Make(QWidget* parent, const char* utf8_name, int left, int top, int width, int height) {
    auto* widget = new W(parent);
    widget->setObjectName(QString::fromUtf8(utf8_name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

QFont CaptionFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Microsoft YaHei"), QStringLiteral("微软雅黑"),
                      QStringLiteral("WenQuanYi Micro Hei")});
    return font;
}

ImageButton* MakeImageButton(QWidget* parent, const char* name, int left, ButtonGlyph glyph) {
    auto* button = Make<ImageButton>(parent, name, left, -4, 32, 32);
    button->SetPictures(ButtonPicture(glyph, false), ButtonPicture(glyph, true));
    return button;
}

}  // namespace

QString ReleasePageAddress() { return QStringLiteral("https://github.com/marltips/marltips/releases"); }

QString ProductDescription() {
    return QStringLiteral(
        "帮你监控网站的新资讯，当网站有新的文章更新，软件将及时通知你！让你无论何时何地，不再错过任何消息！");
}

MainWindow::MainWindow(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Marl网站资讯监控提醒工具"));
    setWindowIcon(ProgramIcon());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(236, 236, 236));
    setPalette(palette);
    setAutoFillBackground(true);
    resize(kWidth, kHeight);

    BuildTitleBar();
    BuildBody();
    BuildMenus();
    BuildHistoryPages();
    ApplyLayout();
}

void MainWindow::BuildTitleBar() {
    auto* top = Make<TitleBar>(this, "外形框_top", -2, -1, 904, 49);
    top->setAutoFillBackground(true);
    QPalette palette = top->palette();
    palette.setColor(QPalette::Window, Qt::white);
    top->setPalette(palette);
    connect(top, &TitleBar::DoubleClicked, this, [this] { ToggleMaximise(); });
    top_ = top;

    auto* logo = Make<QLabel>(top, "图片框1", 14, 8, 32, 32);
    logo->setPixmap(LogoPixmap(32));
    auto* caption = Make<QLabel>(top, "透明标签1", 51, 9, 228, 32);
    caption->setTextFormat(Qt::PlainText);
    caption->setText(QStringLiteral("Marl网站资讯监控提醒工具 v1.1"));
    caption->setFont(CaptionFont());

    search_group_ = Make<QFrame>(top, "外形框_搜索", 303, 11, 205, 24);
    search_group_->setStyleSheet(QStringLiteral(
        "QFrame#外形框_搜索 { border: 1px solid rgb(215, 215, 215); border-radius: 4px; "
        "background: rgb(246, 246, 246); } QLineEdit { border: none; background: transparent; }"));
    auto* magnifier = Make<QLabel>(search_group_, "图片框2", 4, 4, 16, 16);
    magnifier->setPixmap(MagnifierPixmap());
    search_box_ = Make<QLineEdit>(search_group_, "搜索框", 24, 0, 160, 24);
    search_box_->setFrame(false);
    // It takes the focus only when clicked, never by itself: a caret blinking in it would keep the
    // program awake for as long as the window is open.
    search_box_->setFocusPolicy(Qt::ClickFocus);

    button_group_ = Make<QFrame>(top, "外形框_控制按钮", 614, 12, 160, 23);
    auto* settings = MakeImageButton(button_group_, "设置按钮", 36, ButtonGlyph::kSettings);
    connect(settings, &QAbstractButton::clicked, this, [this] { settings_menu_->popup(QCursor::pos()); });
    auto* separator = Make<QFrame>(button_group_, "外形框5", 73, 0, 1, 24);
    separator->setFrameShape(QFrame::VLine);
    separator->setStyleSheet(QStringLiteral("color: rgb(210, 210, 210);"));
    auto* minimise = MakeImageButton(button_group_, "最小化", 80, ButtonGlyph::kMinimise);
    connect(minimise, &QAbstractButton::clicked, this, [this] { showMinimized(); });
    maximise_button_ = MakeImageButton(button_group_, "最大化", 106, ButtonGlyph::kMaximise);
    connect(maximise_button_, &QAbstractButton::clicked, this, [this] { ToggleMaximise(); });
    auto* close_button = MakeImageButton(button_group_, "关闭", 130, ButtonGlyph::kClose);
    connect(close_button, &QAbstractButton::clicked, this, [this] { close(); });
}

void MainWindow::BuildBody() {
    plan_tree_ = Make<PlanTreeWidget>(this, "栏目框", 5, 54, 172, 472);

    tabs_ = Make<QTabWidget>(this, "高级选择夹1", 185, 52, 624, 400);
    tabs_->addTab(new QWidget, QStringLiteral("实时监控"));
    tabs_->addTab(new QWidget, QStringLiteral("查询"));
    tabs_->addTab(new QWidget, QStringLiteral("收藏"));
    // The lists are placed relative to the tab control itself, each shown with its own page only.
    article_list_ = Make<ArticleList>(tabs_, "超级列表框_新文章", 2, 30, 620, 400);
    article_list_->raise();
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) { ApplyPageRule(index); });
    connect(article_list_, &ArticleList::Clicked, this, [this] { ShowSelectedArticle(article_list_); });
    connect(article_list_, &ArticleList::DoubleClicked, this, [this] { OpenSelectedArticle(article_list_); });
    connect(article_list_, &ArticleList::RightClicked, this,
            [this](const QPoint& global) { ShowArticleMenu(article_list_, global); });

    status_box_ = Make<StatusBox>(this, "状态框", 185, 472, 620, 40);
    status_box_->SetWholeText(QStringLiteral("监控网站资讯更新，直接添加被监控网站，无需懂代码，老少皆宜！"));

    start_group_ = Make<QFrame>(this, "外形框_开始", 4, 552, 176, 40);
    auto* label = Make<QLabel>(start_group_, "标签1", 4, 5, 54, 24);
    label->setTextFormat(Qt::PlainText);
    label->setText(QStringLiteral("频率(s)"));
    frequency_box_ = Make<QLineEdit>(start_group_, "编辑框_频率", 62, 5, 33, 28);
    frequency_box_->setText(QStringLiteral("200"));
    start_button_ = Make<QPushButton>(start_group_, "开始按钮", 101, 5, 66, 28);
    start_button_->setText(QStringLiteral("监控"));
    start_button_->setToolTip(QStringLiteral("监控被勾选网站的新文章"));

    grip_ = Make<ResizeGrip>(this, "窗口大小控制", 40, 152, kGripSize, kGripSize);
    connect(grip_, &ResizeGrip::Pressed, this, [this] { move_by_background_ = false; });
}

void MainWindow::BuildMenus() {
    article_menu_ = new QMenu(this);
    article_menu_->setObjectName(QStringLiteral("菜单的文章"));
    QAction* favourite = article_menu_->addAction(QStringLiteral("收藏"));
    favourite->setEnabled(false);  // until the menu opens on a list with a selected row
    connect(favourite, &QAction::triggered, this, [this] { FavouriteSelected(); });
    connect(article_menu_->addAction(QStringLiteral("清空")), &QAction::triggered, this,
            [this] { ClearArticles(); });

    settings_menu_ = new QMenu(this);
    settings_menu_->setObjectName(QStringLiteral("菜单的设置"));
    connect(settings_menu_->addAction(QStringLiteral("版本升级")), &QAction::triggered, this,
            [this] { ShowReleasePage(); });
    connect(settings_menu_->addAction(QStringLiteral("关于..")), &QAction::triggered, this,
            [this] { ShowAbout(); });
    connect(settings_menu_->addAction(QStringLiteral("新文章命令")), &QAction::triggered, this, [this] {
        if (command_settings_) command_settings_();
    });
}

void MainWindow::SetCommandSettingsHandler(std::function<void()> handler) {
    command_settings_ = std::move(handler);
}

void MainWindow::SetCloseRequestHandler(std::function<bool()> handler) {
    close_request_ = std::move(handler);
}

void MainWindow::CentreOnScreen() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - kWidth) / 2, area.y() + (area.height() - kHeight) / 2);
}

void MainWindow::ApplyLayout() {
    if (!grip_) return;  // still being built
    const MainLayout layout = ComputeMainLayout(width(), height(), grip_->width(), grip_->height());
    top_->resize(layout.top_width, top_->height());
    button_group_->move(layout.buttons_left, button_group_->y());
    search_group_->move(layout.search_left, search_group_->y());
    plan_tree_->resize(plan_tree_->width(), layout.tree_height);
    start_group_->move(start_group_->x(), layout.start_top);
    tabs_->resize(tabs_->width(), layout.tab_height);
    article_list_->resize(article_list_->width(), layout.list_height);
    // The lists of 查询 and 收藏 end where the article list ends; the result line sits above 查询's.
    favourite_list_->resize(favourite_list_->width(), layout.list_height);
    search_list_->resize(search_list_->width(),
                         layout.list_height - (search_list_->y() - article_list_->y()));
    status_box_->move(status_box_->x(), layout.status_top);
    grip_->move(layout.grip_left, layout.grip_top);
}

void MainWindow::ToggleMaximise() {
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen))) {
        showMaximized();
        maximise_button_->SetPictures(ButtonPicture(ButtonGlyph::kRestore, false),
                                      ButtonPicture(ButtonGlyph::kRestore, true));
        move_by_background_ = true;
    } else {
        showNormal();
        maximise_button_->SetPictures(ButtonPicture(ButtonGlyph::kMaximise, false),
                                      ButtonPicture(ButtonGlyph::kMaximise, true));
        move_by_background_ = false;
    }
}

void MainWindow::ApplyPageRule(int index) {
    // Each page shows when chosen; 收藏 reads the favourites afresh each time.
    article_list_->setVisible(index == 0);
    search_count_->setVisible(index == 1);
    search_list_->setVisible(index == 1);
    favourite_list_->setVisible(index == 2);
    if (index == 2) ReloadFavourites();
}

void MainWindow::ShowSelectedArticle(ArticleList* list) {
    const int row = list->SelectedRow();
    if (row < 0) return;
    status_box_->SetWholeText(list->CellText(row, ArticleList::kColumnTitle) + QStringLiteral("\r\n") +
                              list->CellText(row, ArticleList::kColumnLink));
}

void MainWindow::OpenSelectedArticle(ArticleList* list) {
    const int row = list->SelectedRow();
    if (row < 0) return;
    OpenArticle(FromQString(list->CellText(row, ArticleList::kColumnLink)),
                FromQString(list->ListAddress(row)));
}

void MainWindow::OpenArticle(const Text& stored, const Text& list_address) {
    const Text address = ResolveArticleAddress(stored, list_address);
    if (OpenWebAddress(address)) return;
    // A double-click that does nothing would leave the user guessing: say which address failed, and
    // for a link recorded without its site, what the plan lacks.
    QString message = QStringLiteral("无法打开文章网址：") + ToQString(address);
    if (!address.empty() && address.find(':') == Text::npos)
        message += QStringLiteral("（该方案未填写 补上域名）");
    AppendStatusLine(message);
}

void MainWindow::AppendStatusLine(const QString& message) {
    // On a line of its own, also after a click put a title and link into the box.
    status_box_->AppendLine(
        ToQString(StatusLine(FormatTime(std::chrono::system_clock::now(), true), FromQString(message))));
}

void MainWindow::ClearArticles() { article_list_->clear(); }

void MainWindow::ShowReleasePage() {
    const QString address = ReleasePageAddress();
    QGuiApplication::clipboard()->setText(address);
    ShowMessageBox(this,
                   MessageRequest{QStringLiteral("已复制软件发布页网址，并将打开该网址 >>"),
                                  QStringLiteral("软件发布页"), MessageIcon::kNone, MessageButtons::kOk});
    OpenWebAddress(FromQString(address));
}

void MainWindow::ShowAbout() {
    status_box_->SetWholeText(ProductDescription());
    ShowMessageBox(this, MessageRequest{ProductDescription(), QStringLiteral("关于软件"), MessageIcon::kNone,
                                        MessageButtons::kOk});
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ApplyLayout();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (close_request_ && !close_request_()) {
        event->ignore();
        return;
    }
    event->accept();
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    // Only the window's own background drags, never a control or a frame.
    if (event->button() == Qt::LeftButton && move_by_background_ && !childAt(event->position().toPoint())) {
        background_drag_.Press(this, event->globalPosition().toPoint());
    }
    QWidget::mousePressEvent(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) background_drag_.Move(event->globalPosition().toPoint());
    QWidget::mouseMoveEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) background_drag_.Release();
    QWidget::mouseReleaseEvent(event);
}

}  // namespace marl::ui
