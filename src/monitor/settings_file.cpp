#include "monitor/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <sstream>
#include <string_view>

#include "text/gbk_codec.h"
#include "text/text_ops.h"

#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

namespace marl {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// SimpleIni works on bytes and takes a GBK trail byte for ASCII: it folds A-Z inside Chinese
// key names and ends a section name at a trail byte 0x5D (']'), which would mangle other
// sections on the next write. UTF-8 has no such overlap, so a GBK file is parsed as UTF-8
// and turned back into GBK when written. A file with a UTF-8 signature is read as UTF-8 and
// stays UTF-8. Only a file that is neither is handed over as raw bytes.
enum class FileForm { kGbk, kUtf8, kRaw };

struct IniDocument {
    // Duplicate keys are all kept; reads take the first one, as the Windows profile calls do.
    CSimpleIniA ini{false, true, false};
    FileForm form = FileForm::kGbk;
    bool signature = false;
};

bool IsUtf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        size_t length = 0;
        uint32_t min = 0;
        if (b < 0x80)
            length = 1;
        else if (b >= 0xC2 && b <= 0xDF)
            length = 2, min = 0x80;
        else if (b >= 0xE0 && b <= 0xEF)
            length = 3, min = 0x800;
        else if (b >= 0xF0 && b <= 0xF4)
            length = 4, min = 0x10000;
        else
            return false;
        if (i + length > bytes.size()) return false;
        uint32_t code = length == 1 ? b : b & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            const auto c = static_cast<unsigned char>(bytes[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            code = (code << 6) | (c & 0x3F);
        }
        if (length > 1 && (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))) return false;
        i += length;
    }
    return true;
}

// SimpleIni skips a line that opens a section name without closing it, but keeps pointing at that
// name, so the keys that follow land in a section named across several lines; the next write saves
// that name and every later write adds a line to it. Such a line becomes a comment: the keys after
// it stay in the section before it, and a write keeps the line's text.
std::string CommentOutOpenSections(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 16);
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        const size_t first = line.find_first_not_of(" \t");
        if (first != std::string_view::npos && line[first] == '[' &&
            line.find(']', first) == std::string_view::npos) {
            out.append(line.substr(0, first)).push_back(';');
            out.append(line.substr(first));
        } else {
            out.append(line);
        }
        const size_t next = text.find_first_not_of("\r\n", end);
        out.append(text.substr(end, (next == std::string_view::npos ? text.size() : next) - end));
        start = next == std::string_view::npos ? text.size() : next;
    }
    return out;
}

// Whole file contents; nullopt when it exists but cannot be read. A missing file reads as empty.
std::optional<std::string> ReadSettingsBytes(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return ec ? std::nullopt : std::optional<std::string>(std::string());
    if (std::filesystem::is_directory(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return bytes.str();
}

bool LoadDocument(const std::string& path, IniDocument& doc) {
    auto bytes = ReadSettingsBytes(path);
    if (!bytes) return false;
    // Text ends at its first zero byte; a file zero-filled by a crash is read up to there.
    std::string_view content = UpToZero(*bytes);
    if (content.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        doc.signature = true;
        content.remove_prefix(kUtf8Bom.size());
    }
    std::string parsed;
    if (doc.signature && IsUtf8(content)) {
        doc.form = FileForm::kUtf8;
        parsed = std::string(content);
    } else if (auto utf8 = doc.signature ? std::nullopt : GbkToUtf8Strict(content)) {
        doc.form = FileForm::kGbk;
        parsed = std::move(*utf8);
    } else {
        doc.form = FileForm::kRaw;
        parsed = std::string(content);
    }
    parsed = CommentOutOpenSections(parsed);
    doc.ini.SetUnicode(false);
    doc.ini.SetSpaces(false);
    return doc.ini.LoadData(parsed.data(), parsed.size()) >= 0;
}

// A GBK key or value in the document's own form.
std::optional<std::string> ToDocument(const IniDocument& doc, const Text& gbk) {
    if (doc.form == FileForm::kRaw) return gbk;
    return GbkToUtf8Strict(gbk);
}

Text FromDocument(const IniDocument& doc, std::string_view stored) {
    if (doc.form == FileForm::kRaw) return Text(stored);
    return Utf8ToGbkLossy(stored);
}

const Text& SectionName() {
    static const Text kSection = Gbk("配置");
    return kSection;
}

// The value without one pair of matching surrounding quotes, which the profile calls drop.
std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// At most kMaxSettingBytes bytes, never ending in the first half of a GBK character.
Text CutToLimit(Text value) {
    if (value.size() <= kMaxSettingBytes) return value;
    size_t end = 0;
    while (end < kMaxSettingBytes) {
        const size_t step = IsGbkLead(static_cast<unsigned char>(value[end])) ? 2 : 1;
        if (end + step > kMaxSettingBytes) break;
        end += step;
    }
    value.resize(end);
    return value;
}

// The reader drops blanks around a key, so " key" in the file is "key"; a key is looked up and
// stored the same way, or each write of " key" would add another line that no read finds.
Text KeyInFile(const Text& key) {
    const size_t first = key.find_first_not_of(" \t");
    if (first == Text::npos) return {};
    return key.substr(first, key.find_last_not_of(" \t") - first + 1);
}

// Keys and values are single lines; a line break would plant other keys or sections.
bool IsStorableKey(const Text& key) {
    const Text in_file = KeyInFile(key);
    if (in_file.empty() || key.find_first_of("=\r\n") != Text::npos) return false;
    const Text trimmed = Trim(in_file);
    const char first = trimmed.empty() ? ' ' : trimmed.front();
    return first != '[' && first != ';' && first != '#' && first != ' ';
}

bool IsStorableValue(const Text& value) { return value.find_first_of("\r\n") == Text::npos; }

// SimpleIni ends lines with LF; the file is a Windows-style INI with CR LF.
std::string WithCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out.push_back('\r');
        out.push_back(text[i]);
    }
    return out;
}

// Replaces the file by writing a temporary file beside it and renaming it over the old one,
// so a crash leaves either the old or the new file, never half of one.
bool ReplaceFileAtomically(const std::string& path, const std::string& bytes) {
    std::error_code ec;
    std::filesystem::path target(path);
    if (std::filesystem::is_symlink(target, ec)) {  // replace the file the link points to, not the link
        auto resolved = std::filesystem::weakly_canonical(target, ec);
        if (ec) return false;
        target = std::move(resolved);
    }
    std::string temp = target.string() + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    struct stat old_stat {};
    if (::stat(target.c_str(), &old_stat) == 0)
        ::fchmod(fd, old_stat.st_mode & 07777);
    else
        ::fchmod(fd, 0644);
    bool ok = true;
    for (size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            ok = false;
        else
            done += static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

}  // namespace

SettingsFile::SettingsFile(std::string path) : path_(std::move(path)) {}

Text SettingsFile::AccessSetting(const Text& key, const Text& value) const {
    std::lock_guard<std::mutex> guard(mutex_);
    try {
        if (value.empty()) return Read(key);
        return Write(key, value == "NULL" ? Text() : value) ? Text("1") : Text();
    } catch (const std::bad_alloc&) {
        return {};
    }
}

Text SettingsFile::Read(const Text& key) const {
    IniDocument doc;
    if (KeyInFile(key).empty() || !LoadDocument(path_, doc)) return {};
    const auto section = ToDocument(doc, SectionName());
    const auto stored_key = ToDocument(doc, KeyInFile(key));
    if (!section || !stored_key) return {};
    const char* stored = doc.ini.GetValue(section->c_str(), stored_key->c_str(), nullptr);
    if (stored == nullptr) return {};
    return CutToLimit(FromDocument(doc, Unquoted(stored)));
}

bool SettingsFile::Write(const Text& key, const Text& value) const {
    if (!IsStorableKey(key) || !IsStorableValue(value)) return false;
    IniDocument doc;
    // A file that exists but cannot be read is left alone rather than replaced.
    if (!LoadDocument(path_, doc)) return false;
    const auto section = ToDocument(doc, SectionName());
    const auto stored_key = ToDocument(doc, KeyInFile(key));
    const auto stored_value = ToDocument(doc, value);
    if (!section || !stored_key || !stored_value) return false;
    if (doc.ini.SetValue(section->c_str(), stored_key->c_str(), stored_value->c_str(), nullptr, true) < 0) {
        return false;
    }
    std::string saved;
    if (doc.ini.Save(saved, false) < 0) return false;
    saved = WithCrLf(saved);
    std::string bytes = doc.signature ? std::string(kUtf8Bom) : std::string();
    if (doc.form == FileForm::kGbk) {
        auto gbk = Utf8ToGbkStrict(saved);
        if (!gbk) return false;
        bytes += *gbk;
    } else {
        bytes += saved;
    }
    return ReplaceFileAtomically(path_, bytes);
}

}  // namespace marl
