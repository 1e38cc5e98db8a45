// Where marltips-cli keeps its files when --dir is not given: beside the program when marltips.db lies
// there, else in the user's data folder, which init makes. Real programs on real temporary folders.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "support/temp_dir.h"

namespace marl {
namespace {

using test::CliResult;
using test::ReadFileBytes;
using test::RunCli;

// Sets (or, with nullopt, removes) an environment variable for one test; the children inherit it.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        Set(value);
    }
    ~ScopedEnv() { Set(old_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    void Set(const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name_, value->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    const char* name_;
    std::optional<std::string> old_;
};

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

// The user's data folder for each shape of the environment: init makes it (private, with its
// parents), and the other commands then find the database there without being told.
TEST(CliDataFolder, InitMakesTheUsersDataFolderAndTheCommandsUseIt) {
    test::TempDir root;
    const std::string home = root.File("home");
    std::filesystem::create_directory(home);
    const std::string xdg = root.File("deep/data");
    const std::string by_home = home + "/.local/share/marltips";
    struct Case {
        const char* name;
        std::optional<std::string> xdg_data_home;
        std::string folder;
    };
    const Case cases[] = {
        {"XDG_DATA_HOME set, parents missing", xdg, xdg + "/marltips"},
        {"XDG_DATA_HOME unset", std::nullopt, by_home},
        {"XDG_DATA_HOME empty", std::string(), by_home},
        {"XDG_DATA_HOME relative", std::string("relative-data"), by_home},
    };
    const ScopedEnv home_env("HOME", home);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(xdg);
        std::filesystem::remove_all(home + "/.local");
        const ScopedEnv xdg_env("XDG_DATA_HOME", c.xdg_data_home);

        // Before init nothing is there, and no other command makes the folder.
        const CliResult missing = RunCli({"plans"});
        EXPECT_EQ(missing.code, 3);
        EXPECT_NE(missing.err.find(c.folder + "/marltips.db"), std::string::npos) << missing.err;
        EXPECT_FALSE(std::filesystem::exists(c.folder));

        const CliResult init = RunCli({"init"});
        ASSERT_EQ(init.code, 0) << init.err;
        EXPECT_NE(init.out.find("created " + c.folder + "/marltips.db"), std::string::npos) << init.out;
        EXPECT_EQ(ModeOf(c.folder), 0700u);
        EXPECT_EQ(ModeOf(std::filesystem::path(c.folder).parent_path().string()), 0700u);

        ASSERT_EQ(RunCli({"save", "--name", "一", "--url", "http://127.0.0.1/", "--encoding", "gbk"}).code,
                  0);
        const CliResult plans = RunCli({"plans", "--json"});
        EXPECT_EQ(plans.code, 0) << plans.err;
        EXPECT_EQ(plans.JsonLines().size(), 1u) << plans.out;
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::current_path() / "relative-data"));
    }
}

// --dir wins over the user's data folder, which then stays untouched.
TEST(CliDataFolder, DirOverridesTheUsersDataFolder) {
    test::TempDir root, chosen;
    const ScopedEnv xdg_env("XDG_DATA_HOME", root.File("data"));
    const CliResult init = RunCli({"init", "--dir", chosen.path().string()});
    ASSERT_EQ(init.code, 0) << init.err;
    EXPECT_TRUE(std::filesystem::exists(chosen.File("marltips.db")));
    EXPECT_FALSE(std::filesystem::exists(root.File("data")));
    // A folder named by --dir is never made.
    EXPECT_EQ(RunCli({"init", "--dir", root.File("data/marltips")}).code, 2);
    EXPECT_FALSE(std::filesystem::exists(root.File("data")));
}

// A copy of the program with marltips.db beside it (a portable set-up) keeps using that folder, whatever
// the environment says.
TEST(CliDataFolder, DatabaseBesideTheProgramKeepsThePortableFolder) {
    test::TempDir portable, data, io;
    const std::string program = portable.File("marltips-cli");
    std::filesystem::copy_file(MARL_CLI_PATH, program);
    test::CreateDatabaseFile(portable.File("marltips.db"));
    const ScopedEnv xdg_env("XDG_DATA_HOME", data.path().string());

    const std::string out = io.File("out");
    const auto run = [&](const std::string& args) {
        const int status = std::system((program + " " + args + " >" + out + " 2>&1").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run("init"), 0);
    EXPECT_NE(ReadFileBytes(out).find("already exists, nothing changed: " + portable.File("marltips.db")),
              std::string::npos)
        << ReadFileBytes(out);
    EXPECT_EQ(run("save --name a --url http://127.0.0.1/ --encoding gbk"), 0) << ReadFileBytes(out);
    EXPECT_EQ(run("plans"), 0);
    EXPECT_NE(ReadFileBytes(out).find("http://127.0.0.1/"), std::string::npos) << ReadFileBytes(out);
    EXPECT_FALSE(std::filesystem::exists(data.File("marltips")));
}

}  // namespace
}  // namespace marl
