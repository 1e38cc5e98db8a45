#include "feeds/feed_directory.h"

#include <pugixml.hpp>

#include <sstream>

#include "feeds/atom_feed.h"
#include "feeds/xml_text.h"

namespace marl::feeds {
namespace {

std::string Saved(const pugi::xml_document& doc, unsigned flags) {
    std::ostringstream out;
    doc.save(out, "  ", flags, pugi::encoding_utf8);
    return out.str();
}

void AddOutline(pugi::xml_node body, const std::string& title, const std::string& url) {
    pugi::xml_node outline = body.append_child("outline");
    const std::string text = XmlSafeText(title);
    outline.append_attribute("type") = "rss";  // what readers look for, Atom feeds included
    outline.append_attribute("text") = text.c_str();
    outline.append_attribute("title") = text.c_str();
    outline.append_attribute("xmlUrl") = XmlSafeText(url).c_str();
}

void AddFeedItem(pugi::xml_node list, const std::string& title, const std::string& url) {
    pugi::xml_node item = list.append_child("li");
    item.append_child(pugi::node_pcdata).set_value((XmlSafeText(title) + " — ").c_str());
    pugi::xml_node link = item.append_child("a");
    link.append_attribute("href") = XmlSafeText(url).c_str();
    link.text().set(XmlSafeText(url).c_str());
}

}  // namespace

std::string AllFeedPath() { return "/feeds/all.atom"; }
std::string PlanFeedPath(int32_t plan_id) { return "/feeds/" + std::to_string(plan_id) + ".atom"; }

std::string OpmlDocument(const ArticleSnapshot& snapshot, const std::string& base) {
    pugi::xml_document doc;
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "utf-8";
    pugi::xml_node opml = doc.append_child("opml");
    opml.append_attribute("version") = "2.0";
    opml.append_child("head").append_child("title").text().set("marltips");
    pugi::xml_node body = opml.append_child("body");
    AddOutline(body, kAllPlansTitle, base + AllFeedPath());
    for (const RecordedPlan& plan : snapshot.plans) AddOutline(body, plan.name, base + PlanFeedPath(plan.id));
    return Saved(doc, pugi::format_default);
}

std::string IndexPage(const ArticleSnapshot& snapshot, const std::string& base) {
    // Written as XHTML through the XML library, so no plan name can become markup.
    pugi::xml_document doc;
    doc.append_child(pugi::node_doctype).set_value("html");
    pugi::xml_node html = doc.append_child("html");
    html.append_attribute("xmlns") = "http://www.w3.org/1999/xhtml";
    pugi::xml_node head = html.append_child("head");
    head.append_child("meta").append_attribute("charset") = "utf-8";
    head.append_child("title").text().set("marltips");
    pugi::xml_node opml_link = head.append_child("link");
    opml_link.append_attribute("rel") = "alternate";
    opml_link.append_attribute("type") = "text/x-opml";
    opml_link.append_attribute("href") = "/feeds.opml";
    pugi::xml_node body = html.append_child("body");
    body.append_child("h1").text().set("marltips");
    pugi::xml_node list = body.append_child("ul");
    AddFeedItem(list, kAllPlansTitle, base + AllFeedPath());
    for (const RecordedPlan& plan : snapshot.plans)
        AddFeedItem(list, plan.name, base + PlanFeedPath(plan.id));
    pugi::xml_node all = body.append_child("p").append_child("a");
    all.append_attribute("href") = "/feeds.opml";
    all.text().set("feeds.opml");
    return Saved(doc, pugi::format_default | pugi::format_no_declaration);
}

}  // namespace marl::feeds
