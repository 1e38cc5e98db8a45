#include "app/desktop/desktop_session.h"
#include "store/data_folder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace marl {
namespace {

TEST(DesktopSession, AWindowNeedsADisplayOrAChosenPlatform) {
    struct Case {
        const char *display, *wayland, *platform;
        bool has;
    };
    const Case cases[] = {
        {nullptr, nullptr, nullptr, false},    {"", "", "", false},
        {":0", nullptr, nullptr, true},        {nullptr, "wayland-0", nullptr, true},
        {nullptr, nullptr, "offscreen", true}, {"", "wayland-1", "", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HasWindowPlatform(c.display, c.wayland, c.platform), c.has)
            << (c.display ? c.display : "-") << " " << (c.wayland ? c.wayland : "-") << " "
            << (c.platform ? c.platform : "-");
    }
    const std::string message = NoDesktopMessage();
    EXPECT_NE(message.find("desktop session"), std::string::npos);
    EXPECT_NE(message.find("marltips-cli"), std::string::npos);
}

TEST(DesktopSession, ReachableXDisplayIsPreferredUnlessAPlatformWasChosen) {
    struct Case {
        const char *display, *platform;
        bool reachable;
        const char* chosen;
    };
    const Case cases[] = {
        {":0", nullptr, true, "xcb"},  {":0", "", true, "xcb"},    {":0", "wayland", true, ""},
        {":0", "offscreen", true, ""}, {":0", nullptr, false, ""}, {nullptr, nullptr, true, ""},
        {"", nullptr, true, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PreferredPlatform(c.display, c.platform, c.reachable), c.chosen)
            << (c.display ? c.display : "-") << " " << (c.platform ? c.platform : "-") << " " << c.reachable;
    }
}

TEST(DesktopSession, LocalXDisplayIsReachableWhenItsSocketExists) {
    const std::filesystem::path sockets =
        std::filesystem::temp_directory_path() / ("marl-x11-" + std::to_string(::getpid()));
    std::filesystem::create_directories(sockets);
    { std::ofstream(sockets / "X7") << ""; }
    struct Case {
        const char* display;
        bool reachable;
    };
    const Case cases[] = {
        {":7", true},           {":7.1", true}, {"unix:7", true},   {":8", false},
        {"other-host:0", true}, {"", false},    {"garbage", false}, {":x", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(XDisplayReachable(c.display, sockets.string()), c.reachable) << c.display;
    EXPECT_FALSE(XDisplayReachable(nullptr, sockets.string()));
    std::filesystem::remove_all(sockets);
}

TEST(DesktopSession, ProgramDirectoryHoldsTheRunningProgram) {
    const std::filesystem::path directory = ProgramDirectory();
    EXPECT_TRUE(directory.is_absolute());
    EXPECT_TRUE(std::filesystem::exists(directory / "ui_tests"));
}

}  // namespace
}  // namespace marl
