#pragma once
#include <cstdint>
#include <vector>

#include "monitor/settings_file.h"
#include "text/text.h"

namespace marl {

// The two settings of section 配置 that the plan tree reads at every reload and the exit writes:
// the frequency box's text and the ids of the checked plans.
const Text& FrequencySettingKey();  // "频率"
const Text& AutoCheckSettingKey();  // "自动勾选"

// The frequency box's text when nothing is stored.
inline constexpr char kDefaultFrequency[] = "200";

// The auto-check list: "0," and then every id followed by ",", in the order given ("0,3,7,").
// The leading "0," gives the first id a comma in front, so one substring test finds any id.
Text CheckListText(const std::vector<int32_t>& checked_ids);

// Whether `check_list` names `id`: "," + id + "," occurs in it anywhere (bytes compared).
bool IsAutoChecked(const Text& check_list, int32_t id);

// What a reload puts into the frequency box: the stored value, or "200" when it is missing or empty.
Text StoredFrequency(const SettingsFile& settings);
// The stored auto-check list; empty when missing.
Text StoredCheckList(const SettingsFile& settings);

// The exit's write, in this order: 频率 with the box's text exactly as typed, then 自动勾选 with the
// list of `checked_ids`. Because an empty value means "read" to AccessSetting, an empty box keeps the
// stored frequency, and "NULL" stores the empty value.
void SaveSettings(const SettingsFile& settings, const Text& frequency_text,
                  const std::vector<int32_t>& checked_ids);

}  // namespace marl
