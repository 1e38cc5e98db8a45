// Helpers shared by the fuzz targets: splitting one input into several texts, and stopping with a
// readable message when a property fails.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace marl::fuzz {

// The input as `count` texts separated by zero bytes; missing texts are empty and the last one keeps
// any further zero bytes. Seeds are written as "first\0second\0third".
inline std::vector<std::string> Fields(const uint8_t* data, size_t size, size_t count) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> fields;
    while (fields.size() + 1 < count) {
        const size_t zero = rest.find('\0');
        if (zero == std::string_view::npos) break;
        fields.emplace_back(rest.substr(0, zero));
        rest.remove_prefix(zero + 1);
    }
    fields.emplace_back(rest);
    fields.resize(count);
    return fields;
}

inline std::string Printable(std::string_view text) {
    std::string out;
    for (const char c : text.substr(0, 400)) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            out.push_back(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
        }
    }
    if (text.size() > 400) out += "...";
    return out;
}

// A property failed: say which and what the texts were, then abort so libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char* what, std::string_view got = {}, std::string_view expected = {}) {
    std::fprintf(stderr, "MISMATCH: %s\n  got:      \"%s\"\n  expected: \"%s\"\n", what,
                 Printable(got).c_str(), Printable(expected).c_str());
    std::abort();
}

inline void Check(bool ok, const char* what, std::string_view got = {}, std::string_view expected = {}) {
    if (!ok) Fail(what, got, expected);
}

}  // namespace marl::fuzz
