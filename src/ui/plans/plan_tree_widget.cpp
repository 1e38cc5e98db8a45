#include "ui/plans/plan_tree_widget.h"

#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <set>
#include <utility>

#include "plans/tree_settings.h"
#include "ui/message_box.h"
#include "ui/qt_text.h"
#include "ui/window_icons.h"

namespace marl::ui {

PlanTreeWidget::PlanTreeWidget(QWidget* parent) : QTreeWidget(parent), menu_(new QMenu(this)) {
    setColumnCount(1);
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::NoContextMenu);

    menu_->setObjectName(QStringLiteral("菜单的方案"));
    connect(menu_->addAction(QStringLiteral("新建")), &QAction::triggered, this, [this] { NewPlan(); });
    connect(menu_->addAction(QStringLiteral("修改")), &QAction::triggered, this, [this] { ModifyPlan(); });
    connect(menu_->addAction(QStringLiteral("删除")), &QAction::triggered, this, [this] { DeletePlan(); });
}

void PlanTreeWidget::Bind(PlanStore* store, const SharedPlanList* plans, const SettingsFile* settings,
                          QLineEdit* frequency_box) {
    store_ = store;
    plans_ = plans;
    settings_ = settings;
    frequency_box_ = frequency_box;
}

void PlanTreeWidget::SetOpenPlanEditor(std::function<void(int position)> open) {
    open_editor_ = std::move(open);
}

void PlanTreeWidget::AddHeader(bool any_plan) {
    auto* item = new QTreeWidgetItem(this);
    item->setText(0,
                  any_plan ? QStringLiteral("右击 添加/修改 网站") : QStringLiteral("右击添加一个监控网站"));
    item->setIcon(0, TreeHeaderIcon());
    item->setData(0, kIdRole, 0);
    // Every item has a check box; the header's means nothing and is never read.
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
}

void PlanTreeWidget::AddPlanItem(const PlanRecord& plan, bool checked) {
    auto* item = new QTreeWidgetItem(this);
    item->setText(0, ToQString(plan.name));
    item->setIcon(0, TreePlanIcon());
    item->setData(0, kIdRole, plan.id);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

void PlanTreeWidget::ReloadPlanTree() {
    Text frequency = kDefaultFrequency;
    Text check_list;
    if (settings_) {
        frequency = StoredFrequency(*settings_);
        check_list = StoredCheckList(*settings_);
    }
    if (frequency_box_) frequency_box_->setText(ToQString(frequency));

    clear();
    const int count = store_ ? store_->LoadPlans() : 0;
    if (count == 0 || !plans_) {
        // The plan list keeps whatever it held.
        AddHeader(false);
        return;
    }
    AddHeader(true);
    const PlanListPtr list = plans_->Get();
    for (int position = 1; position <= list->size(); ++position) {
        const PlanRecord& plan = *list->At(position);
        AddPlanItem(plan, IsAutoChecked(check_list, plan.id));
    }
}

std::vector<int32_t> PlanTreeWidget::CheckedPositions() const {
    std::vector<int32_t> positions;
    for (int index = 1; index < topLevelItemCount(); ++index) {
        if (topLevelItem(index)->checkState(0) == Qt::Checked) positions.push_back(index);
    }
    return positions;
}

std::vector<int32_t> PlanTreeWidget::CheckedIds() const {
    std::vector<int32_t> ids;
    for (int index = 1; index < topLevelItemCount(); ++index) {
        const QTreeWidgetItem* item = topLevelItem(index);
        if (item->checkState(0) == Qt::Checked) ids.push_back(item->data(0, kIdRole).toInt());
    }
    return ids;
}

int PlanTreeWidget::SelectedIndex() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (selected.isEmpty()) return -1;
    return indexOfTopLevelItem(selected.front());
}

void PlanTreeWidget::NewPlan() {
    if (open_editor_) open_editor_(0);
}

void PlanTreeWidget::ModifyPlan() {
    const int selected = SelectedIndex();
    if (selected < 1) {
        ShowMessageBox(this, QStringLiteral("请右击要修改的网站"));
        return;
    }
    if (open_editor_) open_editor_(selected);
}

void PlanTreeWidget::DeletePlan() {
    const int selected = SelectedIndex();
    if (selected < 1) {
        ShowMessageBox(this, QStringLiteral("请右击要删除的网站"));
        return;
    }
    if (!store_) return;
    const int32_t id = topLevelItem(selected)->data(0, kIdRole).toInt();
    // No question first: the menu command is the confirmation.
    const StoreResult result = store_->DropPlan(id);
    if (!result.ok) {
        ShowMessageBox(this, QStringLiteral("删除失败！SQL：\r\n") + ToQString(result.sql));
        return;
    }
    delete takeTopLevelItem(selected);
    // Without a fresh list every item after the deleted one would denote the next plan for the
    // monitor and the editor.
    RefreshPlans();
    ShowMessageBox(this, QStringLiteral("删除成功！重启软件生效"));
}

void PlanTreeWidget::RefreshPlans() {
    if (!store_ || !plans_ || store_->LoadPlans() == 0) return;
    std::set<int32_t> checked;
    for (const int32_t id : CheckedIds()) checked.insert(id);
    const bool header_checked = topLevelItemCount() > 0 && topLevelItem(0)->checkState(0) == Qt::Checked;
    clear();
    AddHeader(true);
    if (header_checked) topLevelItem(0)->setCheckState(0, Qt::Checked);
    const PlanListPtr list = plans_->Get();
    for (int position = 1; position <= list->size(); ++position) {
        const PlanRecord& plan = *list->At(position);
        AddPlanItem(plan, checked.count(plan.id) > 0);
    }
}

bool PlanTreeWidget::IsOnItemContent(QTreeWidgetItem* item, const QPoint& viewport_pos) const {
    const QModelIndex index = indexFromItem(item);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    option.index = index;
    option.text = item->text(0);
    option.icon = item->icon(0);
    option.checkState = item->checkState(0);
    option.features |= QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasCheckIndicator;
    if (!option.icon.isNull()) option.features |= QStyleOptionViewItem::HasDecoration;
    // The same sub-rectangles the item is painted in; the label ends where its text ends.
    const QRect check = style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
    const QRect icon = style()->subElementRect(QStyle::SE_ItemViewItemDecoration, &option, this);
    const QRect text = style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, this) + 1;
    const QRect label(text.left(), text.top(), fontMetrics().horizontalAdvance(option.text) + 2 * margin,
                      text.height());
    return check.contains(viewport_pos) || icon.contains(viewport_pos) || label.contains(viewport_pos);
}

void PlanTreeWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::RightButton) return QTreeWidget::mousePressEvent(event);
    event->accept();
    const QPoint pos = event->position().toPoint();
    QTreeWidgetItem* item = itemAt(pos);
    if (!item || !IsOnItemContent(item, pos)) return;
    setCurrentItem(item);
    // popup() returns at once: the commands run when the user picks one.
    menu_->popup(event->globalPosition().toPoint());
}

}  // namespace marl::ui
