#pragma once
#include <string>
#include <string_view>

namespace marl {

// One piece of an HTML text as the tokenizer finds it.
struct HtmlToken {
    enum class Type { kText, kStartTag, kEndTag, kOther, kEnd };
    Type type = Type::kEnd;
    std::string_view text;     // kText: the characters as written, references not resolved
    bool raw_content = false;  // kText: the contents of a script, style, textarea or the like
    std::string name;          // tags: the name in lower case
    bool self_closing = false;
    bool hidden_attribute = false;  // a "hidden" attribute is present
    bool has_style = false;
    std::string_view style;  // the first "style" attribute's value as written
};

// Splits UTF-8 HTML into text runs, start tags and end tags in one forward pass: time linear in the
// text, memory for one token. It follows the tokenizer states of the HTML standard that decide what
// is text and what is markup: "<" starts a tag only before a letter, quoted attribute values may hold
// ">", comments end at "-->" or "--!>", an unfinished tag at the end is dropped, and the contents of
// script, style, textarea, title and similar elements are text up to their own end tag. Comments,
// declarations and processing instructions come out as kOther. Character references are left as
// written, and so are CR and NUL.
class HtmlTokenizer {
  public:
    enum class Content { kData, kRcdata, kRawText, kPlainText };

    explicit HtmlTokenizer(std::string_view html) : html_(html) {}

    // After a start tag whose element holds raw text: read up to "</name" as text (RCDATA and raw
    // text alike), or everything that follows (plain text).
    void SetContent(Content content, std::string_view end_tag_name);
    // Inside SVG and MathML "<![CDATA[" opens a section that ends at "]]>".
    void SetCdataAllowed(bool allowed) { cdata_allowed_ = allowed; }

    // The next token; kEnd at the end of the text and ever after.
    HtmlToken Next();

  private:
    HtmlToken RawContent();
    // Markup at pos_ ("<" already seen there); false when the "<" is only text.
    bool Markup(HtmlToken& token);
    bool Tag(HtmlToken& token, bool end_tag);
    void SkipTo(std::string_view terminator);

    std::string_view html_;
    size_t pos_ = 0;
    Content content_ = Content::kData;
    std::string end_tag_name_;
    bool cdata_allowed_ = false;
};

}  // namespace marl
