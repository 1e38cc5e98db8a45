#include "html/flat_markup_writer.h"

#include <utility>

namespace marl {
namespace {

bool IsRefCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '#';
}

}  // namespace

void FlatMarkupWriter::Open(RenderKind kind) {
    if (kind == RenderKind::kBlock) SoftBreak();
    if (kind == RenderKind::kCell) Separator();
    if (kind != RenderKind::kPreformatted) return;
    if (pre_depth_++ == 0) {
        Marker("<pre>\n");  // the parser drops this line feed, whatever the text begins with
    } else {
        SoftBreak();
    }
}

void FlatMarkupWriter::Close(RenderKind kind) {
    if (kind == RenderKind::kBlock) SoftBreak();
    if (kind == RenderKind::kCell) Separator();
    if (kind != RenderKind::kPreformatted) return;
    if (--pre_depth_ == 0) {
        Marker("</pre>");
    } else {
        SoftBreak();
    }
}

void FlatMarkupWriter::SoftBreak() {
    if (last_ == Last::kSoftBreak) return;  // a second one in a row changes nothing
    Marker("<p></p>");
    last_ = Last::kSoftBreak;
}

void FlatMarkupWriter::HardBreak() { Marker("<br>"); }

void FlatMarkupWriter::Separator() {
    if (pre_depth_ > 0) {
        pre_separator_ = true;  // a space in preformatted text would show; decided by the next text
        return;
    }
    if (last_ == Last::kSeparator) return;
    out_ += ' ';
    open_reference_ = open_angle_ = false;
    last_ = Last::kSeparator;
}

void FlatMarkupWriter::Marker(std::string_view markup) {
    out_ += markup;
    open_reference_ = open_angle_ = false;
    line_has_text_ = false;
    pre_separator_ = false;
    last_ = markup == "<pre>\n" || markup == "</pre>" ? Last::kSoftBreak : Last::kOther;
}

void FlatMarkupWriter::Text(std::string_view text, bool escape) {
    if (markup_since_text_ && (open_reference_ || open_angle_)) out_ += "<!---->";
    markup_since_text_ = false;
    last_ = Last::kText;
    if (pre_depth_ > 0) {
        // Between cells a space goes before text that continues a line, as the walk writes it.
        const size_t first_break = text.find_first_of("\r\n");
        if (std::exchange(pre_separator_, false) && line_has_text_ && first_break != 0) out_ += ' ';
        const size_t last_break = text.find_last_of("\r\n");
        line_has_text_ = last_break == std::string_view::npos ? line_has_text_ || !text.empty()
                                                              : last_break + 1 < text.size();
    } else {
        line_has_text_ = line_has_text_ || text.find_first_not_of(" \t\n\r\f") != std::string_view::npos;
    }
    if (escape) {
        for (const char c : text) {
            if (c == '&') {
                out_ += "&amp;";
            } else if (c == '<') {
                out_ += "&lt;";
            } else if (c == '\0') {
                out_ += "\xEF\xBF\xBD";  // raw text shows a zero byte as U+FFFD
            } else {
                out_ += c;
            }
        }
        open_reference_ = open_angle_ = false;
        return;
    }
    out_ += text;
    size_t at = text.size();
    while (at > 0 && IsRefCharacter(text[at - 1])) --at;
    if (at == 0) {
        open_angle_ = false;  // letters after a "<" would have made a tag; a reference may go on
        return;
    }
    open_reference_ = text[at - 1] == '&';
    open_angle_ = at == text.size() && text[at - 1] == '<';
}

}  // namespace marl
