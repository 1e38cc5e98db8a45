// marltips: the desktop program. No command-line options; its files lie beside it in a portable set-up,
// else in the user's data folder (store/data_folder.h).
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/desktop/desktop_app.h"
#include "app/desktop/desktop_session.h"
#include "store/data_folder.h"
#include "ui/qt_translation.h"
#include "ui/window_icons.h"

int main(int argc, char** argv) {
    // Without a desktop session Qt would only abort with a plug-in error: say what is wrong instead.
    if (!marl::HasWindowPlatform(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"),
                                 std::getenv("QT_QPA_PLATFORM"))) {
        std::fputs(marl::NoDesktopMessage(), stderr);
        return 1;
    }
    // The windows place themselves (centred, the popup in its corner), which only X lets them do. The
    // choice goes to Qt as an argument, not through the environment, so the browser we start for an
    // article does not inherit it.
    const char* display = std::getenv("DISPLAY");
    std::string platform =
        marl::PreferredPlatform(display, std::getenv("QT_QPA_PLATFORM"), marl::XDisplayReachable(display));
    std::string platform_option = "-platform";
    std::vector<char*> args(argv, argv + argc);
    if (!platform.empty()) {
        args.insert(args.begin() + (argc > 0 ? 1 : 0), {platform_option.data(), platform.data()});
    }
    args.push_back(nullptr);
    int arg_count = static_cast<int>(args.size()) - 1;

    QApplication app(arg_count, args.data());
    QApplication::setApplicationName(QStringLiteral("marltips"));
    QApplication::setWindowIcon(marl::ui::ProgramIcon());
    marl::ui::InstallQtChineseTranslation(app);
    // Closing the main window is decided by its exit question, which ends the process itself.
    QApplication::setQuitOnLastWindowClosed(false);

    marl::DesktopApp desktop(marl::DataDirectory());
    desktop.Start();
    const int code = QApplication::exec();
    // Reached only when the event loop is ended from outside (a session logout, for one).
    std::_Exit(code);
}
