// The plan editor's side of the plan tester: the three test buttons run the tester on the fields as
// they stand, and the window shows what it reports.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCursor>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QToolButton>
#include <QTreeWidget>

#include "ui/message_box.h"
#include "ui/plans/plan_editor_widget.h"
#include "ui/qt_text.h"

namespace marl::ui {
namespace {

// Page texts keep their CR LF in the box's copy; the box itself shows each as one line break.
QString ToBoxText(const Text& gbk) {
    QString text = ToQString(gbk);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

}  // namespace

void PlanEditorWidget::RunPlanTest(PlanTestMode mode) {
    if (testing_) return;
    testing_ = true;
    PlanTestOptions options;
    options.limits = test_limits_;
    // The word filter hands its expression to the clipboard, as the monitor's does.
    options.clipboard = [](const Text& expression) {
        QGuiApplication::clipboard()->setText(ToQString(expression));
    };
    bool began = false;  // a refused run neither empties nor fetches
    options.before_fetch = [this, &began] {
        began = true;
        BeginTest();
    };
    const PlanTestResult result = marl::RunPlanTest(mode, PlanTestInputOf(ReadForm()), options);
    if (began) EndTest();
    ShowTestResult(result);
    testing_ = false;
}

void PlanEditorWidget::BeginTest() {
    source_->clear();
    test_list_->clear();
    test_rows_.clear();
    for (QToolButton* button : {test_page_, test_area_, test_filter_}) button->setEnabled(false);
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    // The fetch holds this thread: paint the emptied boxes and the disabled buttons first.
    repaint();
}

void PlanEditorWidget::EndTest() {
    QApplication::restoreOverrideCursor();
    for (QToolButton* button : {test_page_, test_area_, test_filter_}) button->setEnabled(true);
}

void PlanEditorWidget::ShowTestResult(const PlanTestResult& result) {
    for (const PlanTestEvent& event : result.events) {
        switch (event.kind) {
            case PlanTestEvent::kReport:
                break;  // collected into the report box at the end
            case PlanTestEvent::kSection: {
                QTextCursor end(source_->document());
                end.movePosition(QTextCursor::End);
                end.insertText(ToBoxText(FormatSourceSection(event.section.title, event.section.text)));
                break;
            }
            case PlanTestEvent::kRow: {
                const PlanTestRow& row = event.row;
                // Item texts are plain text; no tool tips, which would take a page's markup for rich text.
                new QTreeWidgetItem(test_list_, {QString::number(row.id), ToQString(row.link),
                                                 ToQString(row.title), ToQString(row.row)});
                test_rows_.push_back(row);
                break;
            }
            case PlanTestEvent::kMessage:
                ShowMessageBox(this, ToQString(event.text));
                break;
            case PlanTestEvent::kEncoding:
                ShowEncoding(event.encoding);
                break;
            case PlanTestEvent::kLinkPrefix:
                link_prefix_->setText(ToQString(event.text));
                break;
        }
    }
    if (!result.refused) ShowMessageBox(this, ToQString(result.ReportText()));
}

void PlanEditorWidget::ShowTestRow() {
    QTreeWidgetItem* item = test_list_->currentItem();
    if (item == nullptr) return;
    const int index = test_list_->indexOfTopLevelItem(item);
    if (index < 0 || index >= static_cast<int>(test_rows_.size())) return;
    WriteStatusSegments(TestRowSegments(test_rows_[static_cast<size_t>(index)]));
}

}  // namespace marl::ui
