#include "app/desktop/desktop_session.h"

#include <gtest/gtest.h>

#include <filesystem>
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

TEST(DesktopSession, ProgramDirectoryHoldsTheRunningProgram) {
    const std::filesystem::path directory = ProgramDirectory();
    EXPECT_TRUE(directory.is_absolute());
    EXPECT_TRUE(std::filesystem::exists(directory / "ui_tests"));
}

}  // namespace
}  // namespace marl
