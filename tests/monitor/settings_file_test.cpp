#include "monitor/settings_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/temp_dir.h"
#include "text/gbk_codec.h"
#include "text/text.h"

namespace marl {
namespace {

using test::ReadFileBytes;
using test::WriteFileBytes;

class SettingsFileTest : public ::testing::Test {
  protected:
    Text Read(const char* utf8_key) { return settings_.AccessSetting(Gbk(utf8_key), ""); }
    Text Write(const char* utf8_key, const Text& value) {
        return settings_.AccessSetting(Gbk(utf8_key), value);
    }
    // The file as UTF-8, for readable expectations.
    std::string FileAsUtf8() { return *GbkToUtf8Strict(ReadFileBytes(path_)); }

    test::TempDir dir_;
    std::string path_ = dir_.File("marltips.ini");
    SettingsFile settings_{path_};
};

TEST_F(SettingsFileTest, MissingFileReadsEmptyAndIsNotCreatedByReading) {
    EXPECT_EQ(Read("频率"), "");
    EXPECT_EQ(Read("自动勾选"), "");
    EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(SettingsFileTest, WritesAndReadsBackInGbk) {
    EXPECT_EQ(Write("频率", "200"), "1");
    EXPECT_EQ(Write("自动勾选", "0,12,"), "1");
    EXPECT_EQ(FileAsUtf8(), "[配置]\r\n频率=200\r\n自动勾选=0,12,\r\n");
    EXPECT_EQ(Read("频率"), "200");
    EXPECT_EQ(Read("自动勾选"), "0,12,");
    EXPECT_EQ(Read("其他"), "");

    EXPECT_EQ(Write("频率", "35"), "1");  // replaced in place, order kept
    EXPECT_EQ(FileAsUtf8(), "[配置]\r\n频率=35\r\n自动勾选=0,12,\r\n");
    EXPECT_EQ(Write("频率", Gbk("三十")), "1");
    EXPECT_EQ(Read("频率"), Gbk("三十"));
}

TEST_F(SettingsFileTest, NullWritesEmptyAndEmptyOnlyReads) {
    ASSERT_EQ(Write("频率", "200"), "1");
    const std::string before = ReadFileBytes(path_);
    EXPECT_EQ(Write("频率", ""), "200");  // an empty value reads
    EXPECT_EQ(ReadFileBytes(path_), before);

    EXPECT_EQ(Write("频率", "NULL"), "1");
    EXPECT_EQ(FileAsUtf8(), "[配置]\r\n频率=\r\n");
    EXPECT_EQ(Read("频率"), "");
    EXPECT_EQ(Write("频率", "null"), "1");  // only the exact word means empty
    EXPECT_EQ(Read("频率"), "null");
}

TEST_F(SettingsFileTest, WriteKeepsOtherSectionsKeysAndComments) {
    WriteFileBytes(path_,
                   Gbk("; 用户的注释\r\n[其他]\r\n名字=值\r\ndup=1\r\ndup=2\r\n[配置]\r\n自动勾选=0,3,\r\n"));
    ASSERT_EQ(Write("频率", "60"), "1");
    EXPECT_EQ(FileAsUtf8(),
              "; "
              "用户的注释\r\n\r\n\r\n[其他]\r\n名字=值\r\ndup=1\r\ndup=2\r\n\r\n\r\n[配置]\r\n自动勾选=0,3,"
              "\r\n频率=60\r\n");
    EXPECT_EQ(Read("自动勾选"), "0,3,");
    // No temporary file is left beside it.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 1);
}

TEST_F(SettingsFileTest, GbkBytesThatLookLikeAsciiAreNotMangled) {
    // 0x81 0x41 and 0x81 0x61 differ only in a trail byte that reads as 'A' / 'a'; 0x81 0x5D has
    // a trail byte ']' inside a section name.
    const Text upper = "\x81\x41", lower = "\x81\x61";
    const Text other_section = "[\x81\x5D\x81\x5Dx]\r\nk=v\r\n";
    WriteFileBytes(path_, other_section);
    ASSERT_EQ(settings_.AccessSetting(upper, "big"), "1");
    ASSERT_EQ(settings_.AccessSetting(lower, "small"), "1");
    EXPECT_EQ(settings_.AccessSetting(upper, ""), "big");
    EXPECT_EQ(settings_.AccessSetting(lower, ""), "small");
    EXPECT_EQ(ReadFileBytes(path_).substr(0, other_section.size()), other_section);
    // ASCII key names still match without regard to case, as the profile calls do.
    ASSERT_EQ(settings_.AccessSetting("Mode", "1"), "1");
    EXPECT_EQ(settings_.AccessSetting("MODE", ""), "1");
}

TEST_F(SettingsFileTest, DamagedFilesReadSensibly) {
    struct Case {
        const char* name;
        std::string content;
        Text frequency;
    };
    const Case cases[] = {
        {"garbage lines", Gbk("垃圾 no equals\r\n[broken\r\n=orphan\r\n[配置]\r\n???\r\n频率=120\r\n"),
         "120"},
        {"no section", Gbk("频率=120\r\n[别的]\r\n频率=5\r\n"), ""},
        {"first duplicate wins", Gbk("[配置]\r\n频率=1\r\n频率=2\r\n"), "1"},
        {"duplicate sections merge", Gbk("[配置]\r\n自动勾选=0,\r\n[配置]\r\n频率=7\r\n"), "7"},
        {"quotes dropped", Gbk("[配置]\r\n频率=\"300\"\r\n"), "300"},
        {"single quotes dropped", Gbk("[配置]\r\n频率='300'\r\n"), "300"},
        {"lone quote kept", Gbk("[配置]\r\n频率=\"300\r\n"), "\"300"},
        {"spaces trimmed", Gbk("  [配置]  \r\n  频率  =  300  \r\n"), "300"},
        {"LF only", Gbk("[配置]\n频率=300\n"), "300"},
        {"UTF-8 with signature", "\xEF\xBB\xBF[配置]\r\n频率=三百\r\n", Gbk("三百")},
        {"signature on GBK text", "\xEF\xBB\xBF" + Gbk("[配置]\r\n频率=三百\r\n"), Gbk("三百")},
        {"invalid GBK elsewhere", Gbk("[配置]\r\n频率=300\r\n") + "bad=\x81\r\n", "300"},
        {"zero bytes", Gbk("[配置]\r\n频率=300\r\n") + std::string(64, '\0') + "x=1", "300"},
        {"empty file", "", ""},
    };
    for (const Case& c : cases) {
        WriteFileBytes(path_, c.content);
        EXPECT_EQ(Read("频率"), c.frequency) << c.name;
    }
}

TEST_F(SettingsFileTest, DamagedFilesStayReadableAfterAWrite) {
    const std::string cases[] = {
        "\xEF\xBB\xBF[配置]\r\n频率=三百\r\n",           // UTF-8 stays UTF-8 with its signature
        Gbk("[配置]\r\n频率=300\r\n") + "bad=\x81\r\n",  // bytes that are not GBK are kept as they are
        Gbk("[配置]\r\n频率=300\r\n") + std::string(64, '\0'),
    };
    for (const std::string& content : cases) {
        WriteFileBytes(path_, content);
        ASSERT_EQ(Write("自动勾选", "0,4,"), "1");
        EXPECT_EQ(Read("自动勾选"), "0,4,");
        EXPECT_NE(Read("频率"), "");
        EXPECT_EQ(ReadFileBytes(path_).find('\0'), std::string::npos);
    }
    WriteFileBytes(path_, "\xEF\xBB\xBF[配置]\r\n频率=三百\r\n");
    ASSERT_EQ(Write("自动勾选", "0,"), "1");
    EXPECT_EQ(ReadFileBytes(path_), "\xEF\xBB\xBF[配置]\r\n频率=三百\r\n自动勾选=0,\r\n");
    WriteFileBytes(path_, Gbk("[配置]\r\n") + "bad=\x81\r\n");
    ASSERT_EQ(Write("频率", "9"), "1");
    EXPECT_EQ(ReadFileBytes(path_), Gbk("[配置]\r\n") + "bad=\x81\r\n" + Gbk("频率=9\r\n"));
}

// A line that opens a section name and never closes it must not pull the lines after it into a
// section name: the file then grew by a line on every write, and the keys after it were lost.
TEST_F(SettingsFileTest, UnclosedSectionLineNeitherSwallowsKeysNorGrowsTheFile) {
    const std::string cases[] = {
        Gbk("[配置]\r\n频率=120\r\n[broken\r\n自动勾选=0,\r\n"),
        Gbk("[配置]\r\n频率=120\r\n  [broken\n自动勾选=0,\n[别的]\r\nx=1\r\n"),
        "[\xF9\n\xF9\xF9,,,,\r\n\xC9\xF9\xD6=(1\xF4\r\n",  // not GBK: handed over as bytes
    };
    for (const std::string& content : cases) {
        WriteFileBytes(path_, content);
        ASSERT_EQ(Write("间隔", "120"), "1");
        const std::string once = ReadFileBytes(path_);
        ASSERT_EQ(Write("间隔", "120"), "1");
        EXPECT_EQ(ReadFileBytes(path_), once) << "a second write of the same value changed the file";
        EXPECT_EQ(Read("间隔"), "120");
        if (content.find("[broken") != std::string::npos) {
            EXPECT_NE(once.find(";[broken"), std::string::npos) << "the broken line's text is kept";
        }
    }
    WriteFileBytes(path_, Gbk("[配置]\r\n频率=120\r\n[broken\r\n自动勾选=0,\r\n"));
    EXPECT_EQ(Read("自动勾选"), "0,");  // stays in the section before the broken line
    ASSERT_EQ(Write("频率", "60"), "1");
    EXPECT_EQ(FileAsUtf8(),
              "[配置]\r\n频率=60\r\n\r\n;[broken\r\n自动勾选=0,\r\n");  // SimpleIni sets comments apart
}

TEST_F(SettingsFileTest, LongValuesAreCutWithoutSplittingACharacter) {
    const Text ascii(20000, '7');
    ASSERT_EQ(Write("频率", ascii), "1");
    EXPECT_EQ(Read("频率"), Text(kMaxSettingBytes, '7'));

    // A two-byte character straddling the limit is dropped whole.
    const Text mixed = "x" + [] {
        Text t;
        for (int i = 0; i < 6000; ++i) t += Gbk("字");
        return t;
    }();
    ASSERT_EQ(Write("自动勾选", mixed), "1");
    const Text read = Read("自动勾选");
    EXPECT_EQ(read.size(), kMaxSettingBytes);  // 1 + 2 * 5119
    EXPECT_EQ(read, mixed.substr(0, kMaxSettingBytes));
    const Text odd = "xy" + mixed.substr(1);
    ASSERT_EQ(Write("自动勾选", odd), "1");
    EXPECT_EQ(Read("自动勾选"), odd.substr(0, kMaxSettingBytes - 1));
}

TEST_F(SettingsFileTest, RefusedWritesChangeNothingAndSaySo) {
    ASSERT_EQ(Write("频率", "200"), "1");
    const std::string before = ReadFileBytes(path_);
    EXPECT_EQ(Write("频率", "1\r\n[其他]\r\nx=y"), "");  // would plant a section
    EXPECT_EQ(Write("频率", "1\n2"), "");
    EXPECT_EQ(settings_.AccessSetting("", "1"), "");
    EXPECT_EQ(settings_.AccessSetting("a=b", "1"), "");
    EXPECT_EQ(settings_.AccessSetting("[x]", "1"), "");
    EXPECT_EQ(settings_.AccessSetting(Gbk("频率"), "\x81"), "");  // not GBK: would spoil a GBK file
    EXPECT_EQ(ReadFileBytes(path_), before);
}

// The file keeps no blanks around a key, so a key written with them is the key without them; before,
// every write of " 频率" added one more line that no read found.
TEST_F(SettingsFileTest, BlanksAroundAKeyNameTheSameSetting) {
    ASSERT_EQ(Write("频率", "200"), "1");
    for (const char* key : {" 频率", "频率\t", "\t 频率  "}) {
        ASSERT_EQ(Write(key, "300"), "1") << key;
        EXPECT_EQ(FileAsUtf8(), "[配置]\r\n频率=300\r\n") << key;
        EXPECT_EQ(Read(key), "300") << key;
    }
    WriteFileBytes(path_, Gbk("[配置]\r\n=orphan\r\n"));
    EXPECT_EQ(Read("  "), "");  // a blank key names nothing, also not the line without a key
    const std::string before = ReadFileBytes(path_);
    EXPECT_EQ(Write("\t[x", "1"), "");  // would be read as a section line
    EXPECT_EQ(Write(" \t", "1"), "");
    EXPECT_EQ(ReadFileBytes(path_), before);
}

TEST(SettingsFileUnwritableTest, FailedWriteReportsFailure) {
    test::TempDir dir;
    SettingsFile in_missing_dir(dir.File("no/such/dir/marltips.ini"));
    EXPECT_EQ(in_missing_dir.AccessSetting(Gbk("频率"), "200"), "");
    EXPECT_EQ(in_missing_dir.AccessSetting(Gbk("频率"), ""), "");
    SettingsFile a_directory(dir.path().string());
    EXPECT_EQ(a_directory.AccessSetting(Gbk("频率"), "200"), "");
    EXPECT_EQ(a_directory.AccessSetting(Gbk("频率"), ""), "");
    EXPECT_TRUE(std::filesystem::is_directory(dir.path()));
}

}  // namespace
}  // namespace marl
