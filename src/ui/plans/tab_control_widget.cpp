#include "ui/plans/tab_control_widget.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>

namespace marl::ui {

TabControl::TabControl(QWidget* parent) : QWidget(parent), bar_(new QTabBar(this)) {
    bar_->setDrawBase(false);
    bar_->setExpanding(false);
    connect(bar_, &QTabBar::currentChanged, this, &TabControl::ShowPage);
}

QWidget* TabControl::AddPage(const QString& caption) {
    auto* page = new QWidget(this);
    page->setGeometry(rect());
    pages_.push_back(page);
    bar_->addTab(caption);
    bar_->resize(bar_->sizeHint());
    bar_->raise();  // above the pages, which cover it
    ShowPage(bar_->currentIndex());
    return page;
}

QWidget* TabControl::page(int index) const {
    return index >= 0 && index < static_cast<int>(pages_.size()) ? pages_[static_cast<size_t>(index)]
                                                                 : nullptr;
}

int TabControl::currentIndex() const { return bar_->currentIndex(); }

void TabControl::setCurrentIndex(int index) { bar_->setCurrentIndex(index); }

void TabControl::ShowPage(int index) {
    for (size_t i = 0; i < pages_.size(); ++i) pages_[i]->setVisible(static_cast<int>(i) == index);
}

void TabControl::paintEvent(QPaintEvent*) {
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.rect = rect().adjusted(0, bar_->height() - 1, 0, 0);
    frame.tabBarSize = bar_->size();
    frame.shape = QTabBar::RoundedNorth;
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);
}

void TabControl::resizeEvent(QResizeEvent*) {
    for (QWidget* page : pages_) page->setGeometry(rect());
}

}  // namespace marl::ui
