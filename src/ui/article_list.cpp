#include "ui/article_list.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTreeWidgetItem>

namespace marl::ui {

ArticleList::ArticleList(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(5);
    setHeaderLabels({QStringLiteral("id"), QStringLiteral("站名"), QStringLiteral("标题"),
                     QStringLiteral("链接"), QStringLiteral("时间")});
    const int widths[] = {0, 90, 400, 0, 90};
    for (int column = 0; column < 5; ++column) {
        setColumnWidth(column, widths[column]);
        // A column of width 0 is hidden from the user.
        setColumnHidden(column, widths[column] == 0);
    }
    header()->setStretchLastSection(false);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);  // thousands of rows stay cheap
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::NoContextMenu);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (value > 0 && value == verticalScrollBar()->maximum()) emit ScrolledToEnd();
    });
}

namespace {
// Kept beside the hidden link, never shown.
constexpr int kListAddressRole = Qt::UserRole;
// Kept in the hidden id column, which shows nothing.
constexpr int kArticleRole = Qt::UserRole;

QTreeWidgetItem* MakeRow(const QString& plan_name, const QString& title, const QString& address,
                         const QString& time, const QString& list_address) {
    auto* item = new QTreeWidgetItem;
    item->setData(ArticleList::kColumnLink, kListAddressRole, list_address);
    item->setText(ArticleList::kColumnPlan, plan_name);
    item->setText(ArticleList::kColumnTitle, title);
    item->setText(ArticleList::kColumnLink, address);
    item->setText(ArticleList::kColumnTime, time);
    return item;
}

}  // namespace

void ArticleList::InsertArticleRow(const QString& plan_name, const QString& title, const QString& address,
                                   const QString& time, const QString& list_address) {
    insertTopLevelItem(0, MakeRow(plan_name, title, address, time, list_address));
}

void ArticleList::AppendStoredRow(int64_t article, const QString& plan_name, const QString& title,
                                  const QString& address, const QString& time, const QString& list_address) {
    QTreeWidgetItem* item = MakeRow(plan_name, title, address, time, list_address);
    item->setData(kColumnId, kArticleRole, QVariant::fromValue<qlonglong>(article));
    addTopLevelItem(item);
}

int64_t ArticleList::ArticleId(int row) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? item->data(kColumnId, kArticleRole).toLongLong() : 0;
}

QString ArticleList::ListAddress(int row) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? item->data(kColumnLink, kListAddressRole).toString() : QString();
}

int ArticleList::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (selected.isEmpty()) return -1;
    return indexOfTopLevelItem(selected.front());
}

QString ArticleList::CellText(int row, int column) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? item->text(column) : QString();
}

void ArticleList::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        // The menu comes wherever the click lands; the selection stays as it is.
        event->accept();
        emit RightClicked(event->globalPosition().toPoint());
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void ArticleList::mouseReleaseEvent(QMouseEvent* event) {
    QTreeWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) emit Clicked();
}

void ArticleList::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) emit DoubleClicked();
}

}  // namespace marl::ui
