#include "feeds/atom_feed.h"

#include <pugixml.hpp>

#include <cstdio>
#include <ctime>
#include <sstream>

#include "feeds/xml_text.h"
#include "web/browsable_address.h"

namespace marl::feeds {
namespace {

using TimePoint = std::chrono::system_clock::time_point;

const RecordedPlan* FindPlan(const ArticleSnapshot& snapshot, int32_t id) {
    for (const RecordedPlan& plan : snapshot.plans) {
        if (plan.id == id) return &plan;
    }
    return nullptr;
}

void AddText(pugi::xml_node parent, const char* name, const std::string& text) {
    parent.append_child(name).text().set(XmlSafeText(text).c_str());
}

void AddAuthor(pugi::xml_node parent, const std::string& name) {
    AddText(parent.append_child("author"), "name", name);
}

}  // namespace

std::string ArticleId(const std::string& url) {
    // FNV-1a, 64 bits: a fixed function of the address's bytes, the same on every machine.
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : url) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return std::string("urn:marltips:article:") + hex;
}

std::optional<TimePoint> ParseStoredTime(const std::string& text) {
    if (text.size() != 19) return std::nullopt;
    std::tm tm{};
    char tail = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                    &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &tail) != 6) {
        return std::nullopt;
    }
    if (tm.tm_mon < 1 || tm.tm_mon > 12 || tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_hour > 23 ||
        tm.tm_min > 59 || tm.tm_sec > 60 || tm.tm_year < 1970) {
        return std::nullopt;
    }
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_isdst = -1;  // the local rules of that date decide
    const std::time_t when = std::mktime(&tm);
    if (when == static_cast<std::time_t>(-1)) return std::nullopt;
    return std::chrono::system_clock::from_time_t(when);
}

std::string Rfc3339Local(TimePoint when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm tm{};
    localtime_r(&seconds, &tm);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &tm);
    const long offset = tm.tm_gmtoff;
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    char zone[24];
    std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return std::string(stamp) + zone;
}

std::optional<TimePoint> NewestStoredTime(const ArticleSnapshot& snapshot) {
    std::optional<TimePoint> newest;
    for (const RecordedArticle& article : snapshot.articles) {
        const auto when = ParseStoredTime(article.addtime);
        if (when && (!newest || *when > *newest)) newest = when;
    }
    return newest;
}

std::string AtomDocument(const ArticleSnapshot& snapshot, std::optional<int32_t> plan_id, TimePoint generated,
                         const std::string& self_url) {
    pugi::xml_document doc;
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "utf-8";
    pugi::xml_node feed = doc.append_child("feed");
    feed.append_attribute("xmlns") = "http://www.w3.org/2005/Atom";

    const RecordedPlan* plan = plan_id ? FindPlan(snapshot, *plan_id) : nullptr;
    const std::string feed_name = plan != nullptr ? plan->name : std::string(kAllPlansTitle);
    AddText(feed, "title", feed_name);
    AddText(feed, "id",
            plan_id ? "urn:marltips:feed:plan:" + std::to_string(*plan_id)
                    : std::string("urn:marltips:feed:all"));
    if (!self_url.empty()) {
        pugi::xml_node self = feed.append_child("link");
        self.append_attribute("rel") = "self";
        self.append_attribute("type") = "application/atom+xml";
        self.append_attribute("href") = XmlSafeText(self_url).c_str();
    }
    // An entry without an author of its own (recorded before plans were kept) takes the feed's.
    AddAuthor(feed, plan != nullptr ? plan->name : std::string("marltips"));
    AddText(feed, "generator", "marltips");

    TimePoint feed_updated = generated;
    if (!snapshot.articles.empty()) {
        const auto newest = NewestStoredTime(snapshot);
        bool untimed = false;
        for (const RecordedArticle& article : snapshot.articles)
            untimed = untimed || !ParseStoredTime(article.addtime);
        feed_updated = untimed || !newest ? generated : *newest;
    }
    AddText(feed, "updated", Rfc3339Local(feed_updated));

    for (const RecordedArticle& article : snapshot.articles) {
        pugi::xml_node entry = feed.append_child("entry");
        AddText(entry, "title", article.title);
        const auto link = BrowsableAddress(article.url);
        if (link) {
            pugi::xml_node alternate = entry.append_child("link");
            alternate.append_attribute("rel") = "alternate";
            alternate.append_attribute("href") = XmlSafeText(*link).c_str();
        }
        AddText(entry, "id", ArticleId(article.url));
        AddText(entry, "updated", Rfc3339Local(ParseStoredTime(article.addtime).value_or(generated)));
        const RecordedPlan* author = article.plan_id ? FindPlan(snapshot, *article.plan_id) : nullptr;
        if (author != nullptr) AddAuthor(entry, author->name);
        if (!link) {
            // An entry without a link must carry content: the address as it was recorded.
            pugi::xml_node content = entry.append_child("content");
            content.append_attribute("type") = "text";
            content.text().set(XmlSafeText(article.url).c_str());
        }
    }

    std::ostringstream out;
    doc.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
    return out.str();
}

}  // namespace marl::feeds
