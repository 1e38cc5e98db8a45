#include "ui/article_list.h"

#include <QHeaderView>
#include <QMouseEvent>
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
}

namespace {
// Kept beside the hidden link, never shown.
constexpr int kListAddressRole = Qt::UserRole;
}  // namespace

void ArticleList::InsertArticleRow(const QString& plan_name, const QString& title, const QString& address,
                                   const QString& time, const QString& list_address) {
    auto* item = new QTreeWidgetItem;
    item->setData(kColumnLink, kListAddressRole, list_address);
    item->setText(kColumnPlan, plan_name);
    item->setText(kColumnTitle, title);
    item->setText(kColumnLink, address);
    item->setText(kColumnTime, time);
    insertTopLevelItem(0, item);
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
