// main() of the window tests: one QApplication for the whole run (offscreen platform, set by ctest),
// and message boxes that never wait for a person. A box that a test did not arrange for fails it.
#include <gtest/gtest.h>

#include <QApplication>

#include "support/gui/message_box_recorder.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    marl::test::FailOnMessageBox();
    return RUN_ALL_TESTS();
}
