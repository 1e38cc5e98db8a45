#include "plans/tree_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "text/gbk_codec.h"
#include "text/text.h"

namespace marl {
namespace {

TEST(CheckListText, StartsWithZeroAndEndsEveryIdWithAComma) {
    struct Case {
        std::vector<int32_t> ids;
        const char* expected;
    };
    const Case cases[] = {
        {{}, "0,"},
        {{3, 7}, "0,3,7,"},
        {{12}, "0,12,"},
        {{7, 3}, "0,7,3,"},  // tree order, not sorted
        {{2147483647}, "0,2147483647,"},
    };
    for (const Case& c : cases) EXPECT_EQ(CheckListText(c.ids), c.expected);
}

TEST(IsAutoChecked, NeedsTheIdBetweenTwoCommas) {
    struct Case {
        const char* list;
        int32_t id;
        bool checked;
    };
    const Case cases[] = {
        {"0,3,7,", 3, true}, {"0,3,7,", 7, true}, {"0,3,7,", 37, false}, {"0,12,", 12, true},
        {"0,12,", 1, false}, {"0,12,", 2, false}, {"", 3, false},        {"0,", 0, false},
        {"3,7,", 3, false},  {"0,3,7", 7, false}, {"x,5,y", 5, true},    {"0,-4,", -4, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsAutoChecked(c.list, c.id), c.checked) << c.list << " / " << c.id;
    }
}

class SaveSettingsTest : public ::testing::Test {
  protected:
    std::string FileAsUtf8() { return *GbkToUtf8Strict(test::ReadFileBytes(path_)); }

    test::TempDir dir_;
    std::string path_ = dir_.File("marltips.ini");
    SettingsFile settings_{path_};
};

TEST_F(SaveSettingsTest, WritesBothKeysIntoSectionConfig) {
    SaveSettings(settings_, "300", {3, 7});
    EXPECT_EQ(FileAsUtf8(), "[配置]\r\n频率=300\r\n自动勾选=0,3,7,\r\n");
    EXPECT_EQ(StoredFrequency(settings_), "300");
    EXPECT_EQ(StoredCheckList(settings_), "0,3,7,");
}

TEST_F(SaveSettingsTest, FrequencyBoxRules) {
    struct Case {
        const char* box;         // UTF-8
        const char* stored;      // frequency in the file afterwards
        const char* next_shown;  // what the next reload shows
    };
    const Case cases[] = {
        {"", "120", "120"},        // empty box: the stored value stays
        {"NULL", "", "200"},       // "NULL" stores the empty value
        {"45", "45", "45"},        // as typed
        {"１０", "１０", "１０"},  // full-width digits are kept as typed
    };
    for (const Case& c : cases) {
        std::filesystem::remove(path_);
        settings_.AccessSetting(FrequencySettingKey(), "120");
        SaveSettings(settings_, Gbk(c.box), {});
        EXPECT_EQ(FileAsUtf8(), std::string("[配置]\r\n频率=") + c.stored + "\r\n自动勾选=0,\r\n") << c.box;
        EXPECT_EQ(StoredFrequency(settings_), Gbk(c.next_shown)) << c.box;
    }
}

TEST_F(SaveSettingsTest, NoFileReadsAsDefaults) {
    EXPECT_EQ(StoredFrequency(settings_), "200");
    EXPECT_EQ(StoredCheckList(settings_), "");
    EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(SaveSettingsTest, EmptyBoxAndNoFileWritesOnlyTheCheckList) {
    SaveSettings(settings_, "", {5});
    EXPECT_EQ(FileAsUtf8(), "[配置]\r\n自动勾选=0,5,\r\n");
}

}  // namespace
}  // namespace marl
