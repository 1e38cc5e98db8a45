// The message boxes as the program builds them: Chinese buttons, plain text, the asked-for caption.
#include "ui/message_box.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QMessageBox>
#include <QTranslator>

#include "ui/qt_translation.h"

namespace marl::ui {
namespace {

TEST(MessageBox, ButtonsReadChineseWhateverQtsTranslation) {
    struct Case {
        MessageButtons buttons;
        QStringList texts;
    };
    const Case cases[] = {
        {MessageButtons::kOk, {QStringLiteral("确定")}},
        {MessageButtons::kOkCancel, {QStringLiteral("确定"), QStringLiteral("取消")}},
    };
    for (const Case& c : cases) {
        const auto box = MakeMessageBox(
            nullptr, MessageRequest{QStringLiteral("<b>退出软件 ？</b>"), QStringLiteral("是否退出"),
                                    MessageIcon::kNone, c.buttons});
        QStringList texts;
        for (QAbstractButton* button : box->buttons()) texts << button->text();
        texts.sort();
        QStringList expected = c.texts;
        expected.sort();
        EXPECT_EQ(texts, expected);
        EXPECT_EQ(box->button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
        EXPECT_EQ(box->windowTitle(), QStringLiteral("是否退出"));
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        // Esc answers Cancel where there is one.
        EXPECT_EQ(box->escapeButton() != nullptr, c.buttons == MessageButtons::kOkCancel);
    }
}

TEST(MessageBox, QtsOwnChineseTranslationIsLoadedWhenInstalled) {
    QTranslator* translator = InstallQtChineseTranslation(*QCoreApplication::instance());
    if (translator == nullptr) GTEST_SKIP() << "qt6-translations-l10n is not installed";
    // Qt's standard texts, such as an edit box's menu, now read Chinese.
    EXPECT_EQ(QCoreApplication::translate("QLineEdit", "&Copy"), QStringLiteral("复制(&C)"));
    QCoreApplication::removeTranslator(translator);
    delete translator;
}

}  // namespace
}  // namespace marl::ui
