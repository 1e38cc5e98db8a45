#include "html/rendered_text.h"

#include <gumbo.h>

#include <cstring>
#include <string_view>
#include <vector>

#include "text/text_ops.h"

namespace marl {
namespace {

using Kind = RenderKind;

}  // namespace

RenderKind KindOfTag(GumboTag tag) {
    // clang-format off
    switch (tag) {
        case GUMBO_TAG_BR:
            return Kind::kLineBreak;
        case GUMBO_TAG_PRE: case GUMBO_TAG_LISTING: case GUMBO_TAG_XMP: case GUMBO_TAG_PLAINTEXT:
            return Kind::kPreformatted;
        case GUMBO_TAG_TD: case GUMBO_TAG_TH:
            return Kind::kCell;
        // Content that is never rendered as text: scripts, document metadata, form controls that
        // draw their own box, embedded media and foreign markup.
        case GUMBO_TAG_SCRIPT: case GUMBO_TAG_STYLE: case GUMBO_TAG_HEAD: case GUMBO_TAG_TITLE:
        case GUMBO_TAG_BASE: case GUMBO_TAG_LINK: case GUMBO_TAG_META: case GUMBO_TAG_TEMPLATE:
        case GUMBO_TAG_NOSCRIPT: case GUMBO_TAG_NOFRAMES: case GUMBO_TAG_NOEMBED: case GUMBO_TAG_TEXTAREA:
        case GUMBO_TAG_SELECT: case GUMBO_TAG_DATALIST: case GUMBO_TAG_IFRAME: case GUMBO_TAG_OBJECT:
        case GUMBO_TAG_EMBED: case GUMBO_TAG_APPLET: case GUMBO_TAG_VIDEO: case GUMBO_TAG_AUDIO:
        case GUMBO_TAG_CANVAS: case GUMBO_TAG_SVG: case GUMBO_TAG_MATH: case GUMBO_TAG_FRAMESET:
        case GUMBO_TAG_FRAME: case GUMBO_TAG_RP:
            return Kind::kSkip;
        case GUMBO_TAG_HTML: case GUMBO_TAG_BODY: case GUMBO_TAG_ADDRESS: case GUMBO_TAG_ARTICLE:
        case GUMBO_TAG_ASIDE: case GUMBO_TAG_BLOCKQUOTE: case GUMBO_TAG_CENTER: case GUMBO_TAG_DD:
        case GUMBO_TAG_DETAILS: case GUMBO_TAG_DIR: case GUMBO_TAG_DIV: case GUMBO_TAG_DL: case GUMBO_TAG_DT:
        case GUMBO_TAG_FIELDSET: case GUMBO_TAG_FIGCAPTION: case GUMBO_TAG_FIGURE: case GUMBO_TAG_FOOTER:
        case GUMBO_TAG_FORM: case GUMBO_TAG_H1: case GUMBO_TAG_H2: case GUMBO_TAG_H3: case GUMBO_TAG_H4:
        case GUMBO_TAG_H5: case GUMBO_TAG_H6: case GUMBO_TAG_HEADER: case GUMBO_TAG_HGROUP: case GUMBO_TAG_HR:
        case GUMBO_TAG_LEGEND: case GUMBO_TAG_LI: case GUMBO_TAG_MAIN: case GUMBO_TAG_MENU: case GUMBO_TAG_NAV:
        case GUMBO_TAG_OL: case GUMBO_TAG_P: case GUMBO_TAG_SECTION: case GUMBO_TAG_SUMMARY:
        case GUMBO_TAG_UL: case GUMBO_TAG_TABLE: case GUMBO_TAG_CAPTION: case GUMBO_TAG_THEAD:
        case GUMBO_TAG_TBODY: case GUMBO_TAG_TFOOT: case GUMBO_TAG_TR: case GUMBO_TAG_MULTICOL:
            return Kind::kBlock;
        default:
            return Kind::kInline;
    }
    // clang-format on
}

bool HidesElement(bool hidden_attribute, std::string_view style) {
    if (hidden_attribute) return true;
    Text compact;
    for (const char c : style) {
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\f') compact += c;
    }
    compact = AsciiLower(compact);
    for (size_t at = compact.find("display:none"); at != Text::npos;
         at = compact.find("display:none", at + 1)) {
        // "display:none" must not be the tail of another property such as "xdisplay:none".
        if (at == 0 || compact[at - 1] == ';' || compact[at - 1] == '{') return true;
    }
    return false;
}

namespace {

// Elements the page hides.
bool IsHidden(const GumboElement& element) {
    const GumboAttribute* style = gumbo_get_attribute(&element.attributes, "style");
    return HidesElement(gumbo_get_attribute(&element.attributes, "hidden") != nullptr,
                        style && style->value ? std::string_view(style->value) : std::string_view());
}

bool IsCollapsible(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// Builds the lines of rendered text. White space is remembered, not written, until visible text
// follows on the same line, so white space at line starts and ends disappears; line breaks wait the
// same way, so none ends up at the very start or end of the text.
class LineWriter {
  public:
    void Collapsible(std::string_view text) {
        size_t i = 0;
        while (i < text.size()) {
            if (IsCollapsible(text[i])) {
                pending_space_ = true;
                ++i;
                continue;
            }
            size_t run_end = i;
            while (run_end < text.size() && !IsCollapsible(text[run_end])) ++run_end;
            Visible(text.substr(i, run_end - i));
            i = run_end;
        }
    }

    void Preformatted(std::string_view text) {
        size_t i = 0;
        while (i < text.size()) {
            const size_t line_end = text.find_first_of("\r\n", i);
            const size_t stop = line_end == std::string_view::npos ? text.size() : line_end;
            if (stop > i) Visible(text.substr(i, stop - i));
            if (stop == text.size()) break;
            HardBreak();
            i = stop + (text.substr(stop, 2) == "\r\n" ? 2 : 1);
        }
    }

    // The edge of a block: ends the current line if it holds anything.
    void SoftBreak() {
        if (line_has_text_) ++pending_breaks_;
        line_has_text_ = false;
        pending_space_ = false;
    }

    // <br>: always ends a line, so a second one in a row leaves an empty line.
    void HardBreak() {
        ++pending_breaks_;
        line_has_text_ = false;
        pending_space_ = false;
    }

    // Between table cells.
    void Separator() { pending_space_ = true; }

    std::string Take() {
        // A non-breaking space shows as a space; GBK has no form for it.
        static constexpr std::string_view kNbsp = "\xC2\xA0";
        if (out_.find(kNbsp) != std::string::npos) out_ = ReplaceAll(out_, kNbsp, " ");
        return std::move(out_);
    }

  private:
    void Visible(std::string_view text) {
        if (pending_breaks_ > 0) {
            if (!out_.empty()) {
                for (int k = 0; k < pending_breaks_; ++k) out_ += "\r\n";
            }
            pending_breaks_ = 0;
        } else if (pending_space_ && line_has_text_) {
            out_ += ' ';
        }
        pending_space_ = false;
        out_ += text;
        line_has_text_ = true;
    }

    std::string out_;
    bool line_has_text_ = false;
    bool pending_space_ = false;
    int pending_breaks_ = 0;
};

struct Frame {
    const GumboNode* node;
    unsigned next_child;
    Kind kind;
};

}  // namespace

std::string RenderedText(const GumboNode& parent) {
    if (parent.type != GUMBO_NODE_ELEMENT && parent.type != GUMBO_NODE_DOCUMENT) return {};
    LineWriter writer;
    int preformatted_depth = 0;
    std::vector<Frame> stack{{&parent, 0, Kind::kInline}};
    while (!stack.empty()) {
        Frame& frame = stack.back();
        const GumboVector& children = frame.node->type == GUMBO_NODE_DOCUMENT
                                          ? frame.node->v.document.children
                                          : frame.node->v.element.children;
        if (frame.next_child >= children.length) {
            const Kind kind = frame.kind;
            stack.pop_back();
            if (kind == Kind::kBlock || kind == Kind::kPreformatted) writer.SoftBreak();
            if (kind == Kind::kPreformatted) --preformatted_depth;
            if (kind == Kind::kCell) writer.Separator();
            continue;
        }
        const auto* child = static_cast<const GumboNode*>(children.data[frame.next_child++]);
        switch (child->type) {
            case GUMBO_NODE_TEXT:
            case GUMBO_NODE_WHITESPACE:
            case GUMBO_NODE_CDATA: {
                const char* text = child->v.text.text;
                if (!text) break;
                const std::string_view view(text, std::strlen(text));
                if (preformatted_depth > 0) {
                    writer.Preformatted(view);
                } else {
                    writer.Collapsible(view);
                }
                break;
            }
            case GUMBO_NODE_ELEMENT: {
                const Kind kind = KindOfTag(child->v.element.tag);
                if (kind == Kind::kSkip || IsHidden(child->v.element)) break;
                if (kind == Kind::kLineBreak) {
                    writer.HardBreak();
                    break;
                }
                if (kind == Kind::kBlock || kind == Kind::kPreformatted) writer.SoftBreak();
                if (kind == Kind::kPreformatted) ++preformatted_depth;
                if (kind == Kind::kCell) writer.Separator();
                stack.push_back({child, 0, kind});  // invalidates `frame`, which is not used again
                break;
            }
            default:  // comments, template contents, the document itself
                break;
        }
    }
    return writer.Take();
}

}  // namespace marl
