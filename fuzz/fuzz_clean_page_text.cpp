// CleanPageText does its clean-up steps in one pass. It must give exactly what the steps give when
// each runs over the whole text in turn, which this target does the plain way.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "web/page_fetcher.h"

namespace {

bool IsPageSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// Runs of two or more white-space characters, and single tabs, become one space.
std::string CollapseSpaces(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        if (!IsPageSpace(text[i])) {
            out.push_back(text[i++]);
            continue;
        }
        size_t end = i;
        while (end < text.size() && IsPageSpace(text[end])) ++end;
        if (end - i >= 2 || text[i] == '\t')
            out.push_back(' ');
        else
            out.push_back(text[i]);
        i = end;
    }
    return out;
}

bool SameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// Every occurrence of `entity` (letters in any case when case_blind) becomes `to`, left to right.
std::string Decode(std::string_view text, std::string_view entity, char to, bool case_blind) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const std::string_view here = text.substr(i, entity.size());
        if (here.size() == entity.size() && (case_blind ? SameNoCase(here, entity) : here == entity)) {
            out.push_back(to);
            i += entity.size();
        } else {
            out.push_back(text[i++]);
        }
    }
    return out;
}

std::string Drop(std::string_view text, char c) {
    std::string out;
    for (const char x : text)
        if (x != c) out.push_back(x);
    return out;
}

std::string Reference(std::string_view text) {
    std::string t = CollapseSpaces(text);
    t = Decode(t, "&lt;", '<', true);
    t = Decode(t, "&gt;", '>', true);
    t = Decode(t, "&quot;", '"', false);
    t = Decode(t, "&#37;", '%', false);
    t = Drop(t, '\'');
    t = Drop(t, '\r');
    return Drop(t, '\n');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view page(reinterpret_cast<const char*>(data), size);
    const std::string cleaned = marl::CleanPageText(page);
    marl::fuzz::Check(cleaned == Reference(page), "CleanPageText differs from the steps one by one", cleaned,
                      Reference(page));
    return 0;
}
