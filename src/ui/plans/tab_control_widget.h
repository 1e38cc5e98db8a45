#pragma once
#include <QString>
#include <QWidget>
#include <vector>

class QTabBar;

namespace marl::ui {

// A tab control whose pages cover the whole control, tabs included, so that the controls of a page are
// placed relative to the tab control itself (the plan editor's layout is given that way). The tab bar
// lies on top of the pages; the pages are transparent, so the pane frame drawn here shows through.
class TabControl : public QWidget {
    Q_OBJECT
  public:
    explicit TabControl(QWidget* parent);

    // Adds a page with this tab caption; its children go at tab-control coordinates.
    QWidget* AddPage(const QString& caption);
    QTabBar* bar() const { return bar_; }
    QWidget* page(int index) const;
    int currentIndex() const;
    void setCurrentIndex(int index);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void ShowPage(int index);

    QTabBar* bar_;
    std::vector<QWidget*> pages_;
};

}  // namespace marl::ui
