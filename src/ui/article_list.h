#pragma once
#include <QString>
#include <QTreeWidget>
#include <cstdint>

class QMouseEvent;

namespace marl::ui {

// The main window's article list `超级列表框_新文章`: a report list with the columns id (hidden),
// 站名, 标题, 链接 (hidden) and 时间, newest article on top. It lives only in memory.
// Only the mouse acts on it: a click, a double-click and a right-click are reported; selecting a row
// with the keyboard or pressing Enter does nothing beyond moving the selection.
// The pages 查询 and 收藏 show recorded articles in lists of the same kind, filled from the bottom
// (AppendStoredRow), each row knowing the `info` row it came from.
class ArticleList : public QTreeWidget {
    Q_OBJECT
  public:
    enum Column { kColumnId = 0, kColumnPlan = 1, kColumnTitle = 2, kColumnLink = 3, kColumnTime = 4 };

    explicit ArticleList(QWidget* parent);

    // A new row at index 0 with columns 1 to 4 filled; column 0 stays empty. `list_address` is the
    // list-page address of the plan that found it, against which a link without a scheme is opened.
    void InsertArticleRow(const QString& plan_name, const QString& title, const QString& address,
                          const QString& time, const QString& list_address = QString());
    // A row at the bottom for an article read from marltips.db, `article` its `info` rowid.
    void AppendStoredRow(int64_t article, const QString& plan_name, const QString& title,
                         const QString& address, const QString& time, const QString& list_address);
    // The `info` rowid of a row added by AppendStoredRow; 0 for any other row and outside the list.
    int64_t ArticleId(int row) const;
    // The index of the selected row, or -1.
    int SelectedRow() const;
    // The text of a cell; the empty text outside the list.
    QString CellText(int row, int column) const;
    // The list-page address of the row's plan; empty when it was not known or outside the list.
    QString ListAddress(int row) const;

  signals:
    // A left click anywhere in the list (on a row or on empty space), after the selection followed it.
    void Clicked();
    // A left double-click anywhere in the list.
    void DoubleClicked();
    // A right click anywhere in the list, at this screen position.
    void RightClicked(const QPoint& global);
    // The view was scrolled to its last row (the scroll bar at its end).
    void ScrolledToEnd();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace marl::ui
