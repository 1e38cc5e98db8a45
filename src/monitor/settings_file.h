#pragma once
#include <mutex>
#include <string>

#include "text/text.h"

namespace marl {

// marltips.ini: a Windows-style INI file in GBK whose settings live in section "配置".
class SettingsFile {
  public:
    explicit SettingsFile(std::string path);

    // One call for both directions. A non-empty value is written ("NULL" writes the empty
    // value) and "1" is returned, or the empty text when the file could not be written. An
    // empty value reads the key: its value (at most 10239 bytes), or the empty text when the
    // key or the file is missing.
    Text AccessSetting(const Text& key, const Text& value) const;

    const std::string& path() const { return path_; }

  private:
    Text Read(const Text& key) const;
    bool Write(const Text& key, const Text& value) const;

    std::string path_;
    mutable std::mutex mutex_;
};

// The longest value a read returns, in bytes.
inline constexpr size_t kMaxSettingBytes = 10239;

}  // namespace marl
