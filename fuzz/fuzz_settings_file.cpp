// marltips.ini as it may lie on disk: any bytes, then a read and a write of one key (input: file
// bytes, key, value, separated by zero bytes). The reader only reads files, so the bytes go into one
// temporary file of this process, removed after every input.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "monitor/settings_file.h"
#include "text/gbk_codec.h"
#include "text/text_ops.h"

namespace {

// The file's name, unique to this process. The file itself lives only while one input runs:
// libFuzzer ends without running exit handlers, so nothing is left for them to remove.
const std::string& SettingsPath() {
    static const std::string path = [] {
        std::string templ = (std::filesystem::temp_directory_path() / "marl_fuzz_settings_XXXXXX").string();
        const int fd = ::mkstemp(templ.data());
        if (fd < 0) std::abort();
        ::close(fd);
        return templ;
    }();
    return path;
}

struct RemovedAtEnd {
    ~RemovedAtEnd() { std::remove(SettingsPath().c_str()); }
};

void WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) std::abort();
}

bool IsIniBlank(char c) { return c == ' ' || c == '\t'; }

// A value the file gives back exactly as written: no blanks at either end (the reader trims them)
// and no pair of surrounding quotes (it drops them).
bool ReadsBackAsWritten(std::string_view text) {
    if (text.empty() || IsIniBlank(text.front()) || IsIniBlank(text.back())) return false;
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front())
        return false;
    return text.size() <= marl::kMaxSettingBytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using marl::fuzz::Check;
    using marl::fuzz::Fail;
    const auto fields = marl::fuzz::Fields(data, size, 3);
    const std::string& key = fields[1];
    const std::string& value = fields[2];
    const std::string& path = SettingsPath();
    const RemovedAtEnd removed;
    WriteFile(path, fields[0]);

    const marl::SettingsFile settings(path);
    const std::string before = settings.AccessSetting(key, "");
    Check(before.size() <= marl::kMaxSettingBytes, "a read returns at most the longest value", before);
    Check(settings.AccessSetting(key, "") == before, "reading twice gives the same value", before);
    if (value.empty() || value == "NULL") return 0;

    const std::string written = settings.AccessSetting(key, value);
    Check(written.empty() || written == "1", "a write answers \"1\" or nothing", written);
    if (written != "1") return 0;
    const std::string after = settings.AccessSetting(key, "");
    if (ReadsBackAsWritten(key) && ReadsBackAsWritten(value) && marl::UpToZero(value) == value)
        Check(after == value, "a written value reads back", after, value);
    // A write of text that is not GBK goes only into a file that is not GBK either; after the first
    // write the file may have become GBK, so the checks below take GBK text only.
    if (!marl::GbkToUtf8Strict(key) || !marl::GbkToUtf8Strict(value)) return 0;
    // Later writes of the same value may still move a comment or a blank line (SimpleIni settles the
    // layout of a damaged file over a write or two) but must not make the file grow each time.
    size_t sizes[3] = {};
    for (size_t& file_size : sizes) {
        Check(settings.AccessSetting(key, value) == "1", "the same write succeeds again");
        file_size = static_cast<size_t>(std::filesystem::file_size(path));
    }
    if (sizes[0] < sizes[1] && sizes[1] < sizes[2]) Fail("the file grows with every write of the same value");
    return 0;
}
