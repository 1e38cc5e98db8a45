#include "store/data_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace marl {
namespace {

using test::WriteFileBytes;

// The folder rule on real folders: what lies beside the program, then the environment.
TEST(DataFolder, PortableFolderFirstThenTheUsersDataFolder) {
    test::TempDir root;
    const std::string portable = root.File("portable");
    const std::string installed = root.File("installed");
    const std::string dangling = root.File("dangling");
    const std::string home = root.File("home");
    const std::string xdg = root.File("xdg");
    const std::string xdg_slash = xdg + "/";
    for (const std::string& dir : {portable, installed, dangling}) std::filesystem::create_directory(dir);
    WriteFileBytes(portable + "/marltips.db", "");
    std::filesystem::create_symlink(root.File("nowhere"), dangling + "/marltips.db");
    // A settings file alone does not make a portable set-up.
    WriteFileBytes(installed + "/marltips.ini", "");

    const std::string user_default = home + "/.local/share/marltips";
    struct Case {
        std::string program;
        const char* xdg_data_home;
        const char* home;
        std::string expected;
    };
    const Case cases[] = {
        {portable, xdg.c_str(), home.c_str(), portable},  // a database beside the program wins
        {dangling, xdg.c_str(), home.c_str(), dangling},  // so does a link, even one that leads nowhere
        {installed, xdg.c_str(), home.c_str(), xdg + "/marltips"},
        {installed, nullptr, home.c_str(), user_default},
        {installed, "", home.c_str(), user_default},
        {installed, "relative/data", home.c_str(), user_default},  // ignored, as the XDG rules say
        {installed, "~/data", home.c_str(), user_default},
        {installed, xdg_slash.c_str(), home.c_str(), xdg + "/marltips"},
        {root.File("missing"), xdg.c_str(), home.c_str(), xdg + "/marltips"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DataDirectory(c.program, c.xdg_data_home, c.home), c.expected)
            << c.program << " XDG_DATA_HOME=" << (c.xdg_data_home ? c.xdg_data_home : "(unset)");
    }
    // Without HOME the user database names the home folder; the per-user folder is still below it.
    for (const char* no_home : {static_cast<const char*>(nullptr), ""}) {
        const std::string found = DataDirectory(installed, nullptr, no_home);
        EXPECT_TRUE(found.empty() || found.ends_with("/.local/share/marltips")) << found;
        EXPECT_EQ(DataDirectory(portable, nullptr, no_home), portable);
    }
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

TEST(DataFolder, MakeDataDirectoryCreatesPrivateFoldersWithParents) {
    test::TempDir root;
    const mode_t mask = ::umask(022);
    const std::string deep = root.File("a/b/marltips");
    EXPECT_EQ(MakeDataDirectory(deep), "");
    EXPECT_TRUE(std::filesystem::is_directory(deep));
    for (const std::string& made : {root.File("a"), root.File("a/b"), deep})
        EXPECT_EQ(ModeOf(made), 0700u) << made;

    // An existing folder keeps its mode; a trailing slash changes nothing.
    std::filesystem::create_directory(root.File("open"));
    ::chmod(root.File("open").c_str(), 0755);
    EXPECT_EQ(MakeDataDirectory(root.File("open") + "/"), "");
    EXPECT_EQ(ModeOf(root.File("open")), 0755u);

    // A file in the way is refused with its reason, and stays a file.
    WriteFileBytes(root.File("plain"), "x");
    EXPECT_NE(MakeDataDirectory(root.File("plain")), "");
    EXPECT_NE(MakeDataDirectory(root.File("plain/below")), "");
    EXPECT_TRUE(std::filesystem::is_regular_file(root.File("plain")));
    ::umask(mask);
}

}  // namespace
}  // namespace marl
