#pragma once
#include <QWidget>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "plans/plan_submit.h"
#include "plans/plan_suggester.h"
#include "plans/plan_tester.h"
#include "store/plan_record.h"
#include "store/plan_store.h"
#include "text/text.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;
class QTreeWidget;

namespace marl::ui {

class CallReceiver;

class TabControl;

// The plan editor, the window titled 方案管理: enter a new plan or change a loaded one, try it and
// save it. One instance serves every 新建 and 修改: OpenPlanEditor fills it and brings it up. It has
// no owner window and is not modal, so the main window stays usable while it is open.
class PlanEditorWidget : public QWidget {
    Q_OBJECT
  public:
    // `reload_plan_tree` runs after every successful save (the plan tree's rebuild, which also
    // reloads `plans`).
    PlanEditorWidget(PlanStore& store, const SharedPlanList& plans, std::function<void()> reload_plan_tree);
    ~PlanEditorWidget() override;  // waits for a suggestion still fetching its page

    // Shows the window for a new plan (position 0) or for the plan at this list position.
    void OpenPlanEditor(int position);
    // The click on 提交按钮: checks, saves, reloads the plan tree and says how it went.
    void SubmitPlan();
    // The fields as they stand.
    PlanForm ReadForm() const;
    // A click on one of the three test buttons: tries the fields as they stand and shows what the
    // tester found. Blocks the window for the fetch.
    void RunPlanTest(PlanTestMode mode);
    // A click in the test list: the selected row's title, link and row structure into 状态输出.
    void ShowTestRow();
    // The entry 推荐方案 of the area field's context menu: fetches the page at 列表网址 off the UI thread
    // and proposes plans for it; when they arrive, the best fills the fields (nothing is saved). Returns
    // at once; a second call while one runs does nothing.
    void SuggestPlans();
    // Fills the fields from proposal `index` (0 the best) of the last suggestion; the context menu
    // offers the others once there are some.
    void ApplySuggestion(size_t index);
    size_t SuggestionCount() const { return suggestions_.size(); }
    bool Suggesting() const { return suggesting_; }
    // Called on the UI thread when a suggestion has finished (tests wait on it).
    std::function<void()> on_suggestion_done;
    // The limits of the tester's fetch (tests shorten them).
    void SetTestLimits(const HttpLimits& limits) { test_limits_ = limits; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildBasicPage(QWidget* page);
    void BuildAdvancedPage(QWidget* page);
    void BuildWindowControls();
    void WriteForm(const PlanForm& form);
    void ShowEncoding(PlanEncoding encoding);
    void ShowRowMarkerMode(RowMarkerMode mode);
    // Places the window in the middle of the screen's work area.
    void CentreOnScreen();
    // After a new plan has been stored: the window holds it as if opened for 修改 (its id, its list
    // position and the caption 修 改).
    void HoldSavedPlan(int32_t id);
    // The window's state while the tester fetches: emptied outputs, a wait cursor and disabled test
    // buttons, painted before the fetch holds the thread.
    void BeginTest();
    void EndTest();
    void ShowTestResult(const PlanTestResult& result);
    void ShowAreaMenu(const QPoint& at);
    // On the UI thread, once the worker has handed its result over.
    void TakeSuggestion();
    // Writes segments into 状态输出, each after a CR LF: the first replaces the text, the rest append.
    void WriteStatusSegments(const std::vector<Text>& segments);

    PlanStore& store_;
    const SharedPlanList& plans_;
    std::function<void()> reload_plan_tree_;
    int32_t opened_id_ = 0;  // the id of the plan opened for 修改; 0 for a new plan
    HttpLimits test_limits_;
    std::vector<PlanTestRow> test_rows_;  // the rows of 超级列表框_测试, in list order
    bool testing_ = false;
    // The suggestion's worker and its hand-over: the worker stores the result under the mutex, then
    // asks the UI thread to take it.
    std::thread suggest_thread_;
    std::mutex suggest_mutex_;
    std::optional<SuggestResult> suggest_result_;
    CallReceiver* suggest_return_ = nullptr;  // made on first use, a child of the window
    bool suggesting_ = false;
    std::vector<PlanSuggestion> suggestions_;

    TabControl* tabs_ = nullptr;
    QLineEdit* name_ = nullptr;
    QComboBox* encoding_ = nullptr;
    QLineEdit* url_ = nullptr;
    QPlainTextEdit* area_ = nullptr;
    QLineEdit* must_contain_ = nullptr;
    QLineEdit* may_contain_ = nullptr;
    QLineEdit* must_not_contain_ = nullptr;
    QLineEdit* position_ = nullptr;
    QPushButton* submit_ = nullptr;
    QLineEdit* link_prefix_ = nullptr;
    QPlainTextEdit* ua_ = nullptr;
    QPlainTextEdit* post_ = nullptr;
    QComboBox* row_marker_mode_ = nullptr;
    QLineEdit* row_marker_ = nullptr;
    QPlainTextEdit* status_ = nullptr;
    QPlainTextEdit* source_ = nullptr;
    QTreeWidget* test_list_ = nullptr;
    QToolButton* test_page_ = nullptr;    // 超级按钮1
    QToolButton* test_area_ = nullptr;    // 超级按钮3
    QToolButton* test_filter_ = nullptr;  // 超级按钮2
};

}  // namespace marl::ui
