// FindLinks must agree with plain Boost.Regex iteration on every input small enough for Boost to
// finish, and must never crash on any input.

#include <boost/regex.hpp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/link_matcher.h"

namespace {

constexpr size_t kMaxReferenceSize = 4096;

struct Groups {
    std::ptrdiff_t offsets[3];
    std::ptrdiff_t lengths[3];
};

bool Same(const Groups& a, const Groups& b) {
    for (int g = 0; g < 3; ++g) {
        if (a.offsets[g] != b.offsets[g] || a.lengths[g] != b.lengths[g]) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string page(reinterpret_cast<const char*>(data), size);
    const std::vector<marl::LinkMatch> found = marl::FindLinks(page);
    for (const marl::LinkMatch& m : found) {
        // Every view must lie inside the page, with the groups inside the row.
        const auto inside = [](std::string_view part, std::string_view whole) {
            return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
        };
        if (!inside(m.row, page) || !inside(m.link, m.row) || !inside(m.title, m.row) ||
            m.link.data() + m.link.size() > m.title.data()) {
            std::abort();
        }
    }
    if (size > kMaxReferenceSize) return 0;

    static const boost::regex kExpression(marl::kLinkExpression, boost::regex::perl | boost::regex::icase);
    std::vector<Groups> reference;
    try {
        for (boost::sregex_iterator it(page.begin(), page.end(), kExpression), end; it != end; ++it) {
            Groups groups{};
            for (int g = 0; g < 3; ++g) {
                groups.offsets[g] = (*it).position(g);
                groups.lengths[g] = (*it).length(g);
            }
            reference.push_back(groups);
        }
    } catch (const std::exception&) {
        return 0;  // Boost gave up on this input; only the crash checks above apply
    }

    bool same = reference.size() == found.size();
    for (size_t i = 0; same && i < found.size(); ++i) {
        const marl::LinkMatch& m = found[i];
        const Groups groups{
            {m.row.data() - page.data(), m.link.data() - page.data(), m.title.data() - page.data()},
            {static_cast<std::ptrdiff_t>(m.row.size()), static_cast<std::ptrdiff_t>(m.link.size()),
             static_cast<std::ptrdiff_t>(m.title.size())}};
        same = Same(groups, reference[i]);
    }
    if (!same) {
        std::fprintf(stderr, "FindLinks gave %zu matches, Boost.Regex %zu\n", found.size(), reference.size());
        std::abort();
    }
    return 0;
}
