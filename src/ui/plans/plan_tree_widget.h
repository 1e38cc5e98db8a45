#pragma once
#include <QTreeWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "monitor/settings_file.h"
#include "store/plan_record.h"
#include "store/plan_store.h"

class QLineEdit;
class QMenu;
class QMouseEvent;

namespace marl::ui {

// The plan tree `栏目框` down the left of the main window: a header item and one checkable item per
// loaded plan, item k for plan list position k, each carrying its plan's id. The checked items are
// what the monitor watches. A right-click on an item's label, icon or check box selects it and shows
// the plan menu `菜单的方案` (新建, 修改, 删除).
class PlanTreeWidget : public QTreeWidget {
    Q_OBJECT
  public:
    static constexpr int kIdRole = Qt::UserRole;

    explicit PlanTreeWidget(QWidget* parent);

    // What the reload and the menu work with; set once by the program before the first reload.
    void Bind(PlanStore* store, const SharedPlanList* plans, const SettingsFile* settings,
              QLineEdit* frequency_box);
    // Opens the plan editor for a list position (0: a new plan). Until it is set, 新建 and 修改 do
    // nothing visible.
    void SetOpenPlanEditor(std::function<void(int position)> open);

    // Rebuilds the tree and the plan list from the store, the frequency box and the check marks from
    // the settings file: start-up's load.
    void ReloadPlanTree();
    // Rebuilds the plan list and the items from the store while keeping what the user has set since
    // start-up: the check marks (matched by id) and the frequency box stay as they are, so item k is
    // list position k again and monitoring goes on as set. What a save in the plan editor and a
    // delete call. With no plan to load (or a list that cannot be read) the tree stays as it is.
    void RefreshPlans();

    // The positions (item indexes from 1) of the checked plan items, in tree order.
    std::vector<int32_t> CheckedPositions() const;
    // The ids of the checked plan items, in tree order.
    std::vector<int32_t> CheckedIds() const;
    // The index of the selected item, or -1.
    int SelectedIndex() const;

    // The menu commands.
    void NewPlan();
    void ModifyPlan();
    void DeletePlan();

    QMenu* plan_menu() const { return menu_; }

  protected:
    void mousePressEvent(QMouseEvent* event) override;

  private:
    // Whether `viewport_pos` lies on the item's check box, icon or the text itself (not the empty rest
    // of its row).
    bool IsOnItemContent(QTreeWidgetItem* item, const QPoint& viewport_pos) const;
    void AddHeader(bool any_plan);
    void AddPlanItem(const PlanRecord& plan, bool checked);

    PlanStore* store_ = nullptr;
    const SharedPlanList* plans_ = nullptr;
    const SettingsFile* settings_ = nullptr;
    QLineEdit* frequency_box_ = nullptr;
    std::function<void(int)> open_editor_;
    QMenu* menu_;
};

}  // namespace marl::ui
