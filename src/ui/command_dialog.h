#pragma once
#include <QDialog>
#include <QString>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace marl::ui {

class ReturnPath;

// The small dialog of the settings menu's third entry: the command line run for every new article,
// and a 测试 button that runs it once with a sample article, off the UI thread, and shows how it
// ended. 确定 accepts the line as typed; the caller stores it.
class CommandDialog : public QDialog {
    Q_OBJECT
  public:
    explicit CommandDialog(const QString& command, QWidget* parent = nullptr);
    ~CommandDialog() override;

    QString command() const;
    QLineEdit* command_box() const { return command_box_; }
    QPushButton* test_button() const { return test_button_; }
    QLabel* result_label() const { return result_label_; }

    // The 测试 button: runs the command once; the result line appears when it has ended.
    void RunTest();

  signals:
    void TestFinished();

  private:
    void ShowTestResult(const QString& text);

    // How a test run's thread, which may outlive the dialog, hands its result back.
    std::shared_ptr<ReturnPath> test_return_;

    QLineEdit* command_box_ = nullptr;
    QPushButton* test_button_ = nullptr;
    QLabel* result_label_ = nullptr;
};

}  // namespace marl::ui
