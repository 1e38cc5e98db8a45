#include "plans/tree_settings.h"

#include <string>

namespace marl {

const Text& FrequencySettingKey() {
    static const Text key = Gbk("频率");
    return key;
}

const Text& AutoCheckSettingKey() {
    static const Text key = Gbk("自动勾选");
    return key;
}

Text CheckListText(const std::vector<int32_t>& checked_ids) {
    Text list = "0,";
    for (const int32_t id : checked_ids) {
        list += std::to_string(id);
        list += ',';
    }
    return list;
}

bool IsAutoChecked(const Text& check_list, int32_t id) {
    return check_list.find("," + std::to_string(id) + ",") != Text::npos;
}

Text StoredFrequency(const SettingsFile& settings) {
    Text frequency = settings.AccessSetting(FrequencySettingKey(), Text());
    return frequency.empty() ? Text(kDefaultFrequency) : frequency;
}

Text StoredCheckList(const SettingsFile& settings) {
    return settings.AccessSetting(AutoCheckSettingKey(), Text());
}

void SaveSettings(const SettingsFile& settings, const Text& frequency_text,
                  const std::vector<int32_t>& checked_ids) {
    // A failed write is not reported: the program is ending either way.
    settings.AccessSetting(FrequencySettingKey(), frequency_text);
    settings.AccessSetting(AutoCheckSettingKey(), CheckListText(checked_ids));
}

}  // namespace marl
