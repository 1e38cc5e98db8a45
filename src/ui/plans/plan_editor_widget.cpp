#include "ui/plans/plan_editor_widget.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFont>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTextCursor>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>
#include <utility>

#include "plans/plan_field_help.h"
#include "text/text_ops.h"
#include "ui/message_box.h"
#include "ui/plans/line_label_widget.h"
#include "ui/plans/tab_control_widget.h"
#include "ui/qt_text.h"

namespace marl::ui {
namespace {

// The labels of the 基础配置 page, one line beside each field (full-width spaces line them up).
const QString kBasicLabels = QStringLiteral(
    "方案名称　　　　　　　　　　　　页面编码\r\n\r\n\r\n列表网址\r\n\r\n\r\n截取所在\r\n列表区域\r\n\r\n\r\n"
    "　　　　 ┏━ 必含词\r\n　　　　 ┃\r\n网址筛选 ┫━ 可含词\r\n　　　　 ┃\r\n　　　　 ┗━ "
    "不含词\r\n\r\n行结构\r\n\r\n\r\n补上域名");
// The labels of the 高级（通常用不到） page.
const QString kAdvancedLabels = QStringLiteral("协议头\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\nPost");
// Both label blocks were laid out for a 12-pixel line.
constexpr int kLabelPitch = 12;
// The inside of the window: the source box ends at x 856 and the status box at y 566.
constexpr int kInsideWidth = 860;
constexpr int kInsideHeight = 570;

// Multi-line boxes show CR LF as one line break and give it back as CR LF, so stored values survive.
QString ToBoxText(const Text& gbk) { return ToQString(ReplaceAll(gbk, "\r\n", "\n")); }
Text FromBoxText(const QString& text) { return ReplaceAll(FromQString(text), "\n", "\r\n"); }

template <typename Control>
Control* Place(Control* control, const char* name, int left, int top, int width, int height) {
    control->setObjectName(QString::fromUtf8(name));
    control->setGeometry(left, top, width, height);
    return control;
}

QPlainTextEdit* PlainBox(QWidget* parent) {
    auto* box = new QPlainTextEdit(parent);
    box->setTabChangesFocus(true);
    return box;
}

QToolButton* TestButton(QWidget* parent, const char* name, QStyle::StandardPixmap icon, const char* hint,
                        int left, int top) {
    auto* button = Place(new QToolButton(parent), name, left, top, 16, 16);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setIconSize(QSize(14, 14));
    button->setAutoRaise(true);
    button->setToolTip(QString::fromUtf8(hint));
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

}  // namespace

PlanEditorWidget::PlanEditorWidget(PlanStore& store, const SharedPlanList& plans,
                                   std::function<void()> reload_plan_tree)
    : QWidget(nullptr), store_(store), plans_(plans), reload_plan_tree_(std::move(reload_plan_tree)) {
    setWindowTitle(QStringLiteral("方案管理"));
    // 864 x 600 is the window with its frame; the inside holds the controls with a 4-pixel margin on
    // the right and below, as on the left and above, and no empty strips.
    setFixedSize(kInsideWidth, kInsideHeight);

    tabs_ = Place(new TabControl(this), "选择夹1", 4, 8, 436, 280);
    BuildBasicPage(tabs_->AddPage(QStringLiteral("基础配置")));
    BuildAdvancedPage(tabs_->AddPage(QStringLiteral("高级（通常用不到）")));
    tabs_->setCurrentIndex(0);
    BuildWindowControls();

    for (QWidget* field : std::initializer_list<QWidget*>{name_, url_, area_, must_contain_, may_contain_,
                                                          must_not_contain_, link_prefix_, row_marker_}) {
        field->installEventFilter(this);
    }
    connect(submit_, &QPushButton::clicked, this, &PlanEditorWidget::SubmitPlan);
    connect(test_page_, &QToolButton::clicked, this, [this] { RunPlanTest(PlanTestMode::kSource); });
    connect(test_area_, &QToolButton::clicked, this, [this] { RunPlanTest(PlanTestMode::kArea); });
    connect(test_filter_, &QToolButton::clicked, this, [this] { RunPlanTest(PlanTestMode::kFiltered); });
    connect(test_list_, &QTreeWidget::itemClicked, this, &PlanEditorWidget::ShowTestRow);
    area_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(area_, &QPlainTextEdit::customContextMenuRequested, this, &PlanEditorWidget::ShowAreaMenu);
}

void PlanEditorWidget::BuildBasicPage(QWidget* page) {
    // The label block goes first so that every field lies above it.
    auto* labels = Place(new LineLabel(kBasicLabels, kLabelPitch, page), "标签3", 10, 28, 418, 247);
    QFont label_font = labels->font();
    label_font.setPixelSize(kLabelPitch);
    labels->setFont(label_font);

    name_ = Place(new QLineEdit(page), "框_名", 65, 25, 115, 22);
    encoding_ = Place(new QComboBox(page), "框_编码", 285, 24, 108, 20);
    encoding_->addItems({QStringLiteral("自动识别"), QStringLiteral("GBK"), QStringLiteral("Utf-8")});
    url_ = Place(new QLineEdit(page), "框_url", 65, 59, 360, 22);
    area_ = Place(PlainBox(page), "框_区域规则", 64, 93, 360, 39);
    must_contain_ = Place(new QLineEdit(page), "框_必含", 140, 146, 284, 20);
    may_contain_ = Place(new QLineEdit(page), "框_包含", 140, 169, 284, 20);
    must_not_contain_ = Place(new QLineEdit(page), "框_不包含", 140, 192, 284, 20);
    position_ = Place(new QLineEdit(QStringLiteral("0"), page), "框_当前方案", 392, 212, 28, 20);
    position_->hide();  // only the editor itself reads it
    submit_ = Place(new QPushButton(QStringLiteral("提 交"), page), "提交按钮", 339, 230, 84, 35);
    link_prefix_ = Place(new QLineEdit(page), "框_dom", 65, 253, 267, 20);

    // The test buttons sit on the right end of their fields, so they come after them.
    test_page_ =
        TestButton(page, "超级按钮1", QStyle::SP_FileDialogContentsView, "查看软件抓取到的源码", 407, 61);
    test_area_ =
        TestButton(page, "超级按钮3", QStyle::SP_FileDialogDetailedView, "预览 截取到的源码", 407, 113);
    test_filter_ = TestButton(page, "超级按钮2", QStyle::SP_DialogApplyButton, "测试筛选后的网址", 405, 172);
}

void PlanEditorWidget::BuildAdvancedPage(QWidget* page) {
    auto* labels = Place(new LineLabel(kAdvancedLabels, kLabelPitch, page), "标签1", 8, 51, 40, 133);
    QFont label_font = labels->font();
    label_font.setPixelSize(kLabelPitch);
    labels->setFont(label_font);
    ua_ = Place(PlainBox(page), "框_ua", 61, 32, 361, 75);
    post_ = Place(PlainBox(page), "框_Post", 62, 117, 361, 75);
}

void PlanEditorWidget::BuildWindowControls() {
    // The row-structure pair lies over the tab control and shows with either page.
    row_marker_mode_ = Place(new QComboBox(this), "框_行结构值", 70, 227, 84, 20);
    row_marker_mode_->addItem(QStringLiteral("必须包含"), static_cast<int>(RowMarkerMode::kMustContain));
    row_marker_mode_->addItem(QStringLiteral("不能包含"), static_cast<int>(RowMarkerMode::kMustNotContain));
    row_marker_ = Place(new QLineEdit(this), "框_行结构", 158, 227, 178, 20);

    status_ = Place(PlainBox(this), "状态输出", 4, 296, 436, 270);
    source_ = Place(PlainBox(this), "源码编辑框", 445, 4, 411, 372);
    source_->setReadOnly(true);
    source_->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    test_list_ = Place(new QTreeWidget(this), "超级列表框_测试", 448, 384, 405, 178);
    test_list_->setHeaderLabels(
        {QStringLiteral("id"), QStringLiteral("链接"), QStringLiteral("标题"), QStringLiteral("行结构")});
    test_list_->setRootIsDecorated(false);
    test_list_->setUniformRowHeights(true);
    test_list_->setSelectionMode(QAbstractItemView::SingleSelection);
    test_list_->header()->setStretchLastSection(true);
    test_list_->setColumnWidth(0, 36);
    test_list_->setColumnWidth(1, 150);
    test_list_->setColumnWidth(2, 120);
}

void PlanEditorWidget::OpenPlanEditor(int position) {
    const PlanListPtr plans = plans_.Get();
    const PlanRecord* plan = position > 0 ? plans->At(position) : nullptr;
    if (plan == nullptr) {
        // A position the list does not hold (the tree only offers loaded plans) opens a new plan
        // rather than someone else's.
        opened_id_ = 0;
        WriteForm(NewPlanForm());
        submit_->setText(QStringLiteral("新 建"));
    } else {
        opened_id_ = plan->id;
        WriteForm(PlanFormOf(*plan, position));
        submit_->setText(QStringLiteral("修 改"));
    }
    if (!isVisible()) CentreOnScreen();
    show();
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
}

void PlanEditorWidget::CentreOnScreen() {
    // Without a place of its own the window system may put it at the screen's corner, its title bar
    // out of reach under some window managers. Centred on the work area, never above or left of it.
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    move(std::max(area.left(), area.left() + (area.width() - width()) / 2),
         std::max(area.top(), area.top() + (area.height() - height()) / 2));
}

void PlanEditorWidget::HoldSavedPlan(int32_t id) {
    const PlanListPtr plans = plans_.Get();
    // Only the first 50 plans are loaded; one beyond them has no list position and is held by its
    // id alone, with a position past the list so that the next save still updates it.
    int position = plans->size() + 1;
    for (int p = 1; p <= plans->size(); ++p) {
        if (plans->At(p)->id == id) {
            position = p;
            break;
        }
    }
    opened_id_ = id;
    position_->setText(QString::number(position));
    submit_->setText(QStringLiteral("修 改"));
}

void PlanEditorWidget::WriteForm(const PlanForm& form) {
    name_->setText(ToQString(form.name));
    ShowEncoding(form.encoding);
    url_->setText(ToQString(form.url));
    area_->setPlainText(ToBoxText(form.area));
    must_contain_->setText(ToQString(form.must_contain));
    may_contain_->setText(ToQString(form.may_contain));
    must_not_contain_->setText(ToQString(form.must_not_contain));
    link_prefix_->setText(ToQString(form.link_prefix));
    position_->setText(ToQString(form.position));
    ua_->setPlainText(ToBoxText(form.ua));
    post_->setPlainText(ToBoxText(form.post));
    row_marker_->setText(ToQString(form.row_marker));
    ShowRowMarkerMode(form.row_marker_mode);
}

void PlanEditorWidget::ShowEncoding(PlanEncoding encoding) {
    // The list's entries are in the order of PlanEncoding's values.
    encoding_->setCurrentIndex(static_cast<int>(encoding));
}

void PlanEditorWidget::ShowRowMarkerMode(RowMarkerMode mode) {
    row_marker_mode_->setCurrentIndex(mode == RowMarkerMode::kMustNotContain ? 1 : 0);
}

PlanForm PlanEditorWidget::ReadForm() const {
    PlanForm form;
    form.encoding = static_cast<PlanEncoding>(encoding_->currentIndex());
    form.name = FromQString(name_->text());
    form.url = FromQString(url_->text());
    form.area = FromBoxText(area_->toPlainText());
    form.must_contain = FromQString(must_contain_->text());
    form.may_contain = FromQString(may_contain_->text());
    form.must_not_contain = FromQString(must_not_contain_->text());
    form.ua = FromBoxText(ua_->toPlainText());
    form.post = FromBoxText(post_->toPlainText());
    form.link_prefix = FromQString(link_prefix_->text());
    form.row_marker = FromQString(row_marker_->text());
    form.row_marker_mode =
        row_marker_mode_->currentIndex() == 0 ? RowMarkerMode::kMustContain : RowMarkerMode::kMustNotContain;
    form.position = FromQString(position_->text());
    return form;
}

void PlanEditorWidget::SubmitPlan() {
    const PlanForm form = ReadForm();
    const SubmitOutcome outcome = marl::SubmitPlan(form, opened_id_, store_);
    switch (outcome.status) {
        case SubmitOutcome::kRefused:
            ShowMessageBox(this, ToQString(outcome.message));
            return;
        case SubmitOutcome::kSaved:
            if (reload_plan_tree_) reload_plan_tree_();
            // A new plan, once stored, is the plan this window holds: a second click changes it
            // rather than storing a copy under the same name.
            if (TextToInt(form.position) <= 0 && outcome.id > 0) HoldSavedPlan(outcome.id);
            ShowMessageBox(this, QStringLiteral("成功"));
            return;
        case SubmitOutcome::kFailed: {
            const QString sql = ToQString(outcome.sql);
            QGuiApplication::clipboard()->setText(sql);
            ShowMessageBox(
                this, MessageRequest{QStringLiteral("失败！已复制SQL语句：\r\n") + sql,
                                     QStringLiteral("执行失败"), MessageIcon::kNone, MessageButtons::kOk});
            return;
        }
    }
}

void PlanEditorWidget::WriteStatusSegments(const std::vector<Text>& segments) {
    for (size_t i = 0; i < segments.size(); ++i) {
        const QString segment = ToBoxText("\r\n" + segments[i]);
        if (i == 0) {
            status_->setPlainText(segment);
        } else {
            QTextCursor end(status_->document());
            end.movePosition(QTextCursor::End);
            end.insertText(segment);
        }
    }
}

bool PlanEditorWidget::eventFilter(QObject* watched, QEvent* event) {
    // Help is for moving into a field. The focus coming back to the same field when its context menu
    // closes, or when the user returns from another window, would only wipe what the box shows (a
    // test row being read).
    if (event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            WriteStatusSegments(FieldHelpSegments(watched->objectName().toStdString()));
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace marl::ui
