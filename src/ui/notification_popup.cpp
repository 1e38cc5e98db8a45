#include "ui/notification_popup.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QWindow>

#include "ui/open_link.h"
#include "ui/qt_text.h"
#include "ui/window_chrome.h"

namespace marl::ui {
namespace {

constexpr int kScreenMargin = 80;
constexpr int kTitleColumnWidth = 360;
// The countdown stays blank until it drops below this, so the first three ticks show nothing.
constexpr int kFirstShownTick = 17;
constexpr uint32_t kShadowColour = 0x00C0C0C0;  // RGB(192, 192, 192) as 0x00BBGGRR
constexpr int kShadowSize = 2;
// The exact stored bytes of a row's link, so that opening it never goes through a lossy conversion,
// and its plan's list-page address.
constexpr int kStoredLinkRole = Qt::UserRole;
constexpr int kListAddressRole = Qt::UserRole + 1;

QFont CaptionFont() {
    QFont font;
    font.setFamilies({QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei"),
                      QStringLiteral("WenQuanYi Micro Hei")});
    return font;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromUtf8(name));
    label->setTextFormat(Qt::PlainText);
    label->setFont(CaptionFont());
    label->setGeometry(geometry);
    return label;
}

// The close button's picture: a thin grey cross.
QIcon CloseIcon() {
    QPixmap picture(12, 12);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(110, 110, 110), 1.5));
    painter.drawLine(QPointF(2, 2), QPointF(10, 10));
    painter.drawLine(QPointF(10, 2), QPointF(2, 10));
    return QIcon(picture);
}

}  // namespace

QPoint PopupPlacement(const QRect& screen, QSize popup) {
    return QPoint(screen.x() + screen.width() - kScreenMargin - popup.width(),
                  screen.y() + screen.height() - kScreenMargin - popup.height());
}

NotificationPopup::NotificationPopup(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setFixedSize(kWidth, kHeight);
    // Showing it must not take the keyboard from whatever the user is typing into.
    setAttribute(Qt::WA_ShowWithoutActivating);
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(251, 251, 251));
    setPalette(background);
    setAutoFillBackground(true);

    caption_ = MakeLabel(this, "标签1", QStringLiteral("　最新信息"), QRect(0, 0, 80, 26));
    countdown_label_ = MakeLabel(this, "倒计时", QString(), QRect(80, 0, 26, 26));
    countdown_label_->setAlignment(Qt::AlignCenter);
    QPalette red = countdown_label_->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    countdown_label_->setPalette(red);

    close_button_ = new QToolButton(this);
    close_button_->setObjectName(QStringLiteral("关闭"));
    close_button_->setGeometry(360, 0, 20, 20);
    close_button_->setAutoRaise(true);
    close_button_->setIcon(CloseIcon());
    close_button_->setFocusPolicy(Qt::NoFocus);
    connect(close_button_, &QToolButton::clicked, this, &NotificationPopup::HidePopup);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("超级列表框_新文章"));
    list_->setGeometry(2, 26, 380, 170);
    list_->setColumnCount(2);
    list_->setHeaderLabels({QStringLiteral("标题"), QStringLiteral("链接")});
    list_->header()->setStretchLastSection(false);
    list_->setColumnWidth(0, kTitleColumnWidth);
    list_->setColumnHidden(1, true);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->viewport()->installEventFilter(this);

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("时钟1"));
    connect(timer_, &QTimer::timeout, this, &NotificationPopup::CountdownStep);

    // Placed once; after that only the user moves it.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(PopupPlacement(screen->geometry(), size()));
    }
    AttachWindowShadow(this, kShadowColour, kShadowSize);
}

void NotificationPopup::ShowArticle(const Text& title, const Text& link, const Text& list_address) {
    countdown_ = kCountdownTicks;
    if (!isVisible()) {
        show();
        countdown_label_->clear();
        timer_->start(kTickMilliseconds);
    }
    auto* row = new QTreeWidgetItem(list_);  // appended: the oldest article stays on top
    row->setText(0, ToQString(title));
    row->setText(1, ToQString(link));
    row->setData(1, kStoredLinkRole, QByteArray::fromStdString(link));
    row->setData(1, kListAddressRole, QByteArray::fromStdString(list_address));
}

void NotificationPopup::HidePopup() {
    hide();
    timer_->stop();
    list_->clear();
}

void NotificationPopup::CountdownStep() {
    --countdown_;
    if (countdown_ < kFirstShownTick) countdown_label_->setText(QString::number(countdown_));
    if (countdown_ < 1) HidePopup();
}

void NotificationPopup::RestartCountdown() {
    // The timer keeps its phase: only the count and the caption start over.
    countdown_ = kCountdownTicks;
    countdown_label_->clear();
}

void NotificationPopup::OpenSelectedArticle() {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty()) return;
    const Text stored = selected.first()->data(1, kStoredLinkRole).toByteArray().toStdString();
    const Text list_address = selected.first()->data(1, kListAddressRole).toByteArray().toStdString();
    if (open_article_) {
        open_article_(stored, list_address);
    } else {
        OpenWebAddress(stored);
    }
}

void NotificationPopup::closeEvent(QCloseEvent* event) {
    // The popup lives as long as the program: a close request only hides it.
    HidePopup();
    event->ignore();
}

void NotificationPopup::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void NotificationPopup::mousePressEvent(QMouseEvent* event) {
    // Dragged by its own background only: presses on the controls are theirs.
    if (event->button() != Qt::LeftButton || childAt(event->position().toPoint()) != nullptr) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (windowHandle() != nullptr && windowHandle()->startSystemMove()) return;
    dragging_ = true;
    drag_offset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void NotificationPopup::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - drag_offset_);
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void NotificationPopup::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragging_ = false;
    QWidget::mouseReleaseEvent(event);
}

bool NotificationPopup::eventFilter(QObject* watched, QEvent* event) {
    // Only mouse button events may be taken as QMouseEvent: the viewport sees every other kind too.
    const QEvent::Type type = event->type();
    if (watched == list_->viewport() &&
        (type == QEvent::MouseButtonRelease || type == QEvent::MouseButtonDblClick) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (type == QEvent::MouseButtonRelease) {
            RestartCountdown();
        } else {
            OpenSelectedArticle();
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace marl::ui
