// FindLinks against plain Boost.Regex iteration over many generated pages: both must give the same
// matches with the same three groups at the same offsets.

#include <gtest/gtest.h>

#include <boost/regex.hpp>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "monitor/link_matcher.h"

namespace marl {
namespace {

struct Span {
    size_t offset, length;
    bool operator==(const Span&) const = default;
};
using Groups = std::vector<Span>;  // row, link, title of one match

std::vector<Groups> ReferenceMatches(const std::string& page) {
    static const boost::regex kExpression(kLinkExpression, boost::regex::perl | boost::regex::icase);
    std::vector<Groups> out;
    for (boost::sregex_iterator it(page.begin(), page.end(), kExpression), end; it != end; ++it) {
        Groups groups;
        for (int g = 0; g < 3; ++g) {
            groups.push_back({static_cast<size_t>((*it).position(g)), static_cast<size_t>((*it).length(g))});
        }
        out.push_back(groups);
    }
    return out;
}

std::vector<Groups> ScannerMatches(const std::string& page) {
    std::vector<Groups> out;
    const auto span = [&page](std::string_view part) {
        return Span{static_cast<size_t>(part.data() - page.data()), part.size()};
    };
    for (const LinkMatch& m : FindLinks(page)) out.push_back({span(m.row), span(m.link), span(m.title)});
    return out;
}

std::string Escaped(const std::string& page) {
    std::string out;
    for (unsigned char c : page) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

// Pieces biased toward everything the expression reacts to, plus filler.
const std::vector<std::string>& Pieces() {
    static const std::vector<std::string> kPieces = {
        "<a ",      "<A ",
        "<a",       "<|",
        "<abbr>",   "</abbr>",
        "<b>",      "</b>",
        "href=",    "HREF=",
        "hReF=",    "href",
        "=",        "\"",
        "\"",       "'",
        "|",        "^",
        ">",        ">",
        "</a>",     "</A>",
        "</|>",     "</",
        "<",        "/",
        " ",        " ",
        "x",        "h",
        "a",        "A",
        "\n",       std::string(1, '\0'),
        "\xC4\xE3", "\xB0\x7C",
        "\xA3\xE1", "<a href=\"",
        "\">",      "<a href=\"/n/1.html\">",
    };
    return kPieces;
}

std::string GeneratePage(std::mt19937& rng, int max_pieces) {
    const std::vector<std::string>& pieces = Pieces();
    std::uniform_int_distribution<int> count(0, max_pieces);
    std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string page;
    for (int n = count(rng); n > 0; --n) {
        if (rng() % 16 == 0) {
            page += static_cast<char>(byte(rng));
        } else {
            page += pieces[pick(rng)];
        }
    }
    return page;
}

// Well-formed anchors with one piece mutated, so pages reach deep into the expression more often.
std::string GenerateAnchorRow(std::mt19937& rng) {
    std::vector<std::string> parts = {"<li>", "<a",  " class=\"t\"", " href=", "\"",   "/n/1.html", "\"",
                                      ">",    "<b>", "Title",        "</b>",   "</a>", "</li>"};
    const std::vector<std::string>& pieces = Pieces();
    for (int edits = 1 + static_cast<int>(rng() % 3); edits > 0; --edits) {
        const size_t at = rng() % parts.size();
        switch (rng() % 3) {
            case 0:
                parts[at].clear();
                break;
            case 1:
                parts[at] = pieces[rng() % pieces.size()];
                break;
            default:
                parts[at] += pieces[rng() % pieces.size()];
                break;
        }
    }
    std::string row;
    for (const std::string& part : parts) row += part;
    return row;
}

// Compares both engines on page; true when the page holds at least one link.
bool ExpectSameMatches(const std::string& page) {
    std::vector<Groups> reference;
    try {
        reference = ReferenceMatches(page);
    } catch (const std::exception&) {
        ADD_FAILURE() << "reference engine gave up on a small page: " << Escaped(page);
        return false;
    }
    EXPECT_EQ(ScannerMatches(page), reference) << "page: " << Escaped(page);
    return !reference.empty();
}

TEST(LinkMatcherDifferentialTest, RandomPiecePages) {
    std::mt19937 rng(20240611);
    int pages_with_links = 0;
    for (int i = 0; i < 20000; ++i) {
        pages_with_links += ExpectSameMatches(GeneratePage(rng, 40)) ? 1 : 0;
        if (HasFailure()) return;
    }
    // The generator must actually produce links, or the comparison proves little.
    EXPECT_GT(pages_with_links, 1000);
}

TEST(LinkMatcherDifferentialTest, PagesOfMutatedAnchorRows) {
    std::mt19937 rng(7);
    int pages_with_links = 0;
    for (int i = 0; i < 5000; ++i) {
        std::string page;
        for (int rows = 1 + static_cast<int>(rng() % 4); rows > 0; --rows) page += GenerateAnchorRow(rng);
        pages_with_links += ExpectSameMatches(page) ? 1 : 0;
        if (HasFailure()) return;
    }
    EXPECT_GT(pages_with_links, 2500);
}

}  // namespace
}  // namespace marl
