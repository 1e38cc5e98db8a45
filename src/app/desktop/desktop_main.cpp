// marltips: the desktop program. No command-line options; its files lie beside it.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/desktop/desktop_app.h"
#include "app/desktop/desktop_session.h"
#include "ui/window_icons.h"

int main(int argc, char** argv) {
    // Without a desktop session Qt would only abort with a plug-in error: say what is wrong instead.
    if (!marl::HasWindowPlatform(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"),
                                 std::getenv("QT_QPA_PLATFORM"))) {
        std::fputs(marl::NoDesktopMessage(), stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("marltips"));
    QApplication::setWindowIcon(marl::ui::ProgramIcon());
    // Closing the main window is decided by its exit question, which ends the process itself.
    QApplication::setQuitOnLastWindowClosed(false);

    marl::DesktopApp desktop(marl::ProgramDirectory());
    desktop.Start();
    const int code = QApplication::exec();
    // Reached only when the event loop is ended from outside (a session logout, for one).
    std::_Exit(code);
}
