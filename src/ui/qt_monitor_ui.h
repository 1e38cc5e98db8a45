#pragma once
#include <QObject>
#include <QPointer>
#include <atomic>

#include "monitor/monitor_ui.h"
#include "store/plan_record.h"

namespace marl::ui {

class MainWindow;
class NotificationPopup;

// The monitor's port to the desktop windows. Every call is carried onto the UI thread (the thread
// this object was created on) and finished there before it returns, so the worker's rows, status
// lines and popup entries arrive in the order it made them. A call made on the UI thread itself
// runs at once. The UI thread must keep handling events while a worker may call: its modal boxes
// and the database's idle hook do.
class QtMonitorUi final : public QObject, public MonitorUi {
    Q_OBJECT
  public:
    explicit QtMonitorUi(MainWindow& window, QObject* parent = nullptr);

    // The popup that ShowArticle feeds; none until start-up has created it. Its double-click opens
    // through the main window, which says when an address cannot be opened.
    void SetPopup(NotificationPopup* popup);
    // The plan list, from which each new row learns its plan's list-page address (to open a link
    // recorded without 补上域名). Without it rows carry none.
    void SetPlans(const SharedPlanList* plans) { plans_ = plans; }
    // From now on every call returns at once without touching a window (used only when the program
    // takes its windows down in an orderly way, which the normal exit never does).
    void Detach();

    void AppendStatus(const Text& line) override;
    void InsertArticleRow(int32_t position, const Text& plan_name, const Text& title, const Text& address,
                          const Text& short_time) override;
    void ShowArticle(const Text& title, const Text& address) override;
    Text FrequencyText() override;
    Text StartCaption() override;
    void SetStartCaption(const Text& caption) override;
    void SetStartEnabled(bool enabled) override;
    void SetClipboard(const Text& text) override;
    void ShowMessage(const Text& text) override;

  protected:
    bool event(QEvent* event) override;

  private:
    template <typename Work>
    void OnUiThread(Work&& work);

    // The list-page address of the plan at `position` (checked by its name), or empty.
    Text ListAddressOf(int32_t position, const Text& plan_name) const;

    MainWindow& window_;
    QPointer<NotificationPopup> popup_;
    const SharedPlanList* plans_ = nullptr;
    // The last row's link and list address: the popup entry that follows it is the same article.
    Text last_address_, last_list_address_;
    std::atomic<bool> detached_{false};
};

}  // namespace marl::ui
