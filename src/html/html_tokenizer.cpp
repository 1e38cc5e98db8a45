#include "html/html_tokenizer.h"

namespace marl {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsTagSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }
char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view text, size_t at, std::string_view lower_prefix) {
    if (text.size() - at < lower_prefix.size()) return false;
    for (size_t k = 0; k < lower_prefix.size(); ++k) {
        if (LowerAscii(text[at + k]) != lower_prefix[k]) return false;
    }
    return true;
}

}  // namespace

void HtmlTokenizer::SetContent(Content content, std::string_view end_tag_name) {
    content_ = content;
    end_tag_name_ = end_tag_name;
}

HtmlToken HtmlTokenizer::Next() {
    while (pos_ < html_.size()) {
        if (content_ != Content::kData) {
            HtmlToken raw = RawContent();
            if (raw.type != HtmlToken::Type::kText || !raw.text.empty()) return raw;
            continue;  // nothing before the end tag: go on with the tag
        }
        // A "<" is markup before a letter, "/", "!" or "?"; otherwise, or at the very end, it is text.
        size_t scan = pos_;
        size_t markup = html_.size();
        for (;;) {
            const size_t lt = html_.find('<', scan);
            if (lt == std::string_view::npos || lt + 1 >= html_.size()) break;
            const char next = html_[lt + 1];
            if (IsAsciiLetter(next) || next == '!' || next == '?' || (next == '/' && lt + 2 < html_.size())) {
                markup = lt;
                break;
            }
            scan = lt + 1;
        }
        if (markup > pos_) {
            HtmlToken text;
            text.type = HtmlToken::Type::kText;
            text.text = html_.substr(pos_, markup - pos_);
            pos_ = markup;
            return text;
        }
        HtmlToken token;
        if (Markup(token)) return token;
    }
    return {};
}

HtmlToken HtmlTokenizer::RawContent() {
    HtmlToken text;
    text.type = HtmlToken::Type::kText;
    text.raw_content = true;
    size_t end = html_.size();
    if (content_ != Content::kPlainText) {
        // The content ends at "</name" followed by a blank, "/" or ">", in any letter case.
        for (size_t at = html_.find("</", pos_); at != std::string_view::npos;
             at = html_.find("</", at + 1)) {
            const size_t after = at + 2 + end_tag_name_.size();
            if (after < html_.size() && StartsWithNoCase(html_, at + 2, end_tag_name_) &&
                (IsTagSpace(html_[after]) || html_[after] == '/' || html_[after] == '>')) {
                end = at;
                break;
            }
        }
        content_ = Content::kData;
    }
    text.text = html_.substr(pos_, end - pos_);
    pos_ = end;
    return text;
}

bool HtmlTokenizer::Markup(HtmlToken& token) {
    token.type = HtmlToken::Type::kOther;
    const char next = html_[pos_ + 1];
    if (IsAsciiLetter(next)) return Tag(token, false);
    if (next == '/') {
        const char after = html_[pos_ + 2];
        if (IsAsciiLetter(after)) return Tag(token, true);
        if (after == '>') {
            pos_ += 3;  // "</>" is dropped
            return true;
        }
        pos_ += 2;
        SkipTo(">");  // anything else up to ">" is a comment
        return true;
    }
    if (next == '?') {
        pos_ += 1;
        SkipTo(">");
        return true;
    }
    // "<!": a comment, a CDATA section in foreign content, or a declaration up to ">".
    if (html_.substr(pos_, 4) == "<!--") {
        pos_ += 4;
        if (html_.substr(pos_, 1) == ">") {
            pos_ += 1;  // "<!-->"
        } else if (html_.substr(pos_, 2) == "->") {
            pos_ += 2;  // "<!--->"
        } else {
            // The first "--" followed by ">" or "!>" ends it; one scan, whatever follows.
            size_t at = html_.find("--", pos_);
            for (; at != std::string_view::npos; at = html_.find("--", at + 1)) {
                if (html_.substr(at + 2, 1) == ">" || html_.substr(at + 2, 2) == "!>") break;
            }
            if (at == std::string_view::npos) {
                pos_ = html_.size();
            } else {
                pos_ = at + (html_[at + 2] == '>' ? 3 : 4);
            }
        }
        return true;
    }
    if (cdata_allowed_ && html_.substr(pos_, 9) == "<![CDATA[") {
        pos_ += 9;
        SkipTo("]]>");
        return true;
    }
    pos_ += 2;
    SkipTo(">");
    return true;
}

bool HtmlTokenizer::Tag(HtmlToken& token, bool end_tag) {
    const std::string_view h = html_;
    const size_t n = h.size();
    size_t p = pos_ + (end_tag ? 2 : 1);
    const size_t name_start = p;
    while (p < n && !IsTagSpace(h[p]) && h[p] != '/' && h[p] != '>') ++p;
    token.name.reserve(p - name_start);
    for (size_t k = name_start; k < p; ++k) token.name.push_back(LowerAscii(h[k]));
    // Attributes, as the standard's attribute states read them. A tag the text ends inside is dropped
    // together with the rest of the text.
    for (;;) {
        while (p < n && IsTagSpace(h[p])) ++p;
        if (p >= n) break;
        if (h[p] == '>') {
            pos_ = p + 1;
            token.type = end_tag ? HtmlToken::Type::kEndTag : HtmlToken::Type::kStartTag;
            return true;
        }
        if (h[p] == '/') {
            ++p;
            if (p < n && h[p] == '>') {
                token.self_closing = true;
                pos_ = p + 1;
                token.type = end_tag ? HtmlToken::Type::kEndTag : HtmlToken::Type::kStartTag;
                return true;
            }
            continue;
        }
        const size_t attr_start = p++;  // the first character belongs to the name, even "="
        while (p < n && !IsTagSpace(h[p]) && h[p] != '/' && h[p] != '>' && h[p] != '=') ++p;
        const std::string_view attr = h.substr(attr_start, p - attr_start);
        while (p < n && IsTagSpace(h[p])) ++p;
        std::string_view value;
        if (p < n && h[p] == '=') {
            ++p;
            while (p < n && IsTagSpace(h[p])) ++p;
            if (p >= n) break;
            if (h[p] == '"' || h[p] == '\'') {
                const size_t close = h.find(h[p], p + 1);
                if (close == std::string_view::npos) break;
                value = h.substr(p + 1, close - p - 1);
                p = close + 1;
            } else if (h[p] != '>') {
                const size_t value_start = p;
                while (p < n && !IsTagSpace(h[p]) && h[p] != '>') ++p;
                value = h.substr(value_start, p - value_start);
            }
        }
        if (attr.size() == 6 && StartsWithNoCase(attr, 0, "hidden")) token.hidden_attribute = true;
        if (attr.size() == 5 && StartsWithNoCase(attr, 0, "style") && !token.has_style) {
            token.has_style = true;  // a repeated attribute is ignored, as the first one counts
            token.style = value;
        }
    }
    pos_ = n;
    token = HtmlToken{};
    token.type = HtmlToken::Type::kOther;
    return true;
}

void HtmlTokenizer::SkipTo(std::string_view terminator) {
    const size_t at = html_.find(terminator, pos_);
    pos_ = at == std::string_view::npos ? html_.size() : at + terminator.size();
}

}  // namespace marl
