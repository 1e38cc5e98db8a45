#include "html/flat_markup.h"

#include <algorithm>
#include <utility>

#include "html/flat_markup_builder.h"

// The token rules of FlatMarkupBuilder: what each start tag, end tag and text run does to the stack.

namespace marl {

std::string FlattenMarkup(std::string_view html) { return FlatMarkupBuilder(html).Run(); }

std::string FlatMarkupBuilder::Run() {
    bool strip_line_feed = false;  // a line feed right after <pre>, <listing> or <textarea> is dropped
    bool escape = false;           // raw text of <xmp> and <plaintext>, shown as written
    for (;;) {
        const HtmlToken token = tokenizer_.Next();
        if (token.type == HtmlToken::Type::kEnd) break;
        const bool strip = std::exchange(strip_line_feed, false);
        const bool raw = std::exchange(escape, false);
        switch (token.type) {
            case HtmlToken::Type::kText:
                OnText(token, strip, raw);
                break;
            case HtmlToken::Type::kStartTag: {
                writer_.MarkupBetween();
                OnStart(token);
                const GumboTag tag =
                    gumbo_tagn_enum(token.name.data(), static_cast<unsigned>(token.name.size()));
                strip_line_feed =
                    tag == GUMBO_TAG_PRE || tag == GUMBO_TAG_LISTING || tag == GUMBO_TAG_TEXTAREA;
                escape = tag == GUMBO_TAG_XMP || tag == GUMBO_TAG_PLAINTEXT;
                break;
            }
            case HtmlToken::Type::kEndTag:
                writer_.MarkupBetween();
                OnEnd(token);
                break;
            default:
                writer_.MarkupBetween();
                break;
        }
        tokenizer_.SetCdataAllowed(TopOf(kForeign) >= 0);
    }
    // Elements still open end with the text; what their ends would write changes nothing now, and
    // could join a "</" the text ends in.
    return writer_.Take();
}

void FlatMarkupBuilder::OnText(const HtmlToken& token, bool strip_line_feed, bool escape) {
    std::string_view text = token.text;
    if (strip_line_feed) {
        if (text.starts_with("\r\n")) {
            text.remove_prefix(2);
        } else if (text.starts_with('\r') || text.starts_with('\n')) {
            text.remove_prefix(1);
        }
    }
    if (text.empty()) return;
    if (!token.raw_content && TopOf(kForeign) < 0 && Top(GUMBO_TAG_SELECT) < 0) Reopen();
    if (!Shown()) {
        writer_.MarkupBetween();
        return;
    }
    writer_.Text(text, escape);
}

void FlatMarkupBuilder::OnStart(const HtmlToken& token) {
    GumboTag tag = gumbo_tagn_enum(token.name.data(), static_cast<unsigned>(token.name.size()));
    if (tag == GUMBO_TAG_IMAGE) tag = GUMBO_TAG_IMG;
    const bool hidden = HidesElement(token.hidden_attribute, token.style);
    if (TopOf(kForeign) >= 0) {
        // Inside SVG or MathML nothing is shown; "/>" closes an element there.
        if (!token.self_closing) Push(token.name, tag, hidden, true);
        return;
    }
    if (Top(GUMBO_TAG_SELECT) >= 0) return OnSelectStart(token, tag);
    if (!CloseBeforeStart(token, tag, hidden)) return;
    OpenElement(token, tag, hidden);
}

// What a start tag does to the elements already open, before its own element is made. False when
// the tag makes no element of its own (dropped, or a break written at once).
bool FlatMarkupBuilder::CloseBeforeStart(const HtmlToken& token, GumboTag tag, bool hidden) {
    // clang-format off
    switch (tag) {
        case GUMBO_TAG_HTML: case GUMBO_TAG_BODY: case GUMBO_TAG_HEAD: case GUMBO_TAG_FRAME: case GUMBO_TAG_FRAMESET:
            return false;
        case GUMBO_TAG_CAPTION: case GUMBO_TAG_COL: case GUMBO_TAG_COLGROUP: case GUMBO_TAG_TBODY: case GUMBO_TAG_TD:
        case GUMBO_TAG_TFOOT: case GUMBO_TAG_TH: case GUMBO_TAG_THEAD: case GUMBO_TAG_TR:
            if (Top(GUMBO_TAG_TABLE) >= 0) OnTableStart(token, tag);  // outside a table they are dropped
            return false;
        case GUMBO_TAG_TABLE:
            // A table straight inside a table (not inside a cell) closes the first one.
            if (Top(GUMBO_TAG_TABLE) >= 0 && TopOf(kCellLike) < Top(GUMBO_TAG_TABLE)) PopThrough(Top(GUMBO_TAG_TABLE));
            ClosePInButtonScope();
            return true;
        case GUMBO_TAG_H1: case GUMBO_TAG_H2: case GUMBO_TAG_H3: case GUMBO_TAG_H4: case GUMBO_TAG_H5:
        case GUMBO_TAG_H6:
            ClosePInButtonScope();
            if (!stack_.empty() && (stack_.back().groups & GroupBit(kHeading))) PopOne();
            return true;
        case GUMBO_TAG_LI: case GUMBO_TAG_DD: case GUMBO_TAG_DT:
            CloseListItem(tag);
            return true;
        case GUMBO_TAG_BUTTON: case GUMBO_TAG_A: case GUMBO_TAG_NOBR: case GUMBO_TAG_OPTION: case GUMBO_TAG_OPTGROUP:
            CloseSameKind(tag);
            return true;
        case GUMBO_TAG_HR: case GUMBO_TAG_BR:
            OnBreakStart(tag, hidden);
            return false;
        case GUMBO_TAG_SVG: case GUMBO_TAG_MATH:
            return !token.self_closing;
        default:
            // <pre>, <listing>, <plaintext> and <xmp> close a paragraph as the other blocks do.
            if (ClosesParagraph(tag) || tag == GUMBO_TAG_PRE || tag == GUMBO_TAG_LISTING ||
                tag == GUMBO_TAG_PLAINTEXT || tag == GUMBO_TAG_XMP) {
                ClosePInButtonScope();
            }
            return true;
    }
    // clang-format on
}

// A new list item closes the open one of its kind (li; dd or dt) unless a list boundary lies between.
void FlatMarkupBuilder::CloseListItem(GumboTag tag) {
    const int item = tag == GUMBO_TAG_LI ? Top(GUMBO_TAG_LI) : std::max(Top(GUMBO_TAG_DD), Top(GUMBO_TAG_DT));
    if (item >= 0 && item >= TopOf(kListStop)) PopThrough(item);
    ClosePInButtonScope();
}

// Elements that may not hold one of their own kind: a second one closes the first.
void FlatMarkupBuilder::CloseSameKind(GumboTag tag) {
    switch (tag) {
        case GUMBO_TAG_BUTTON: {
            const int button = Top(GUMBO_TAG_BUTTON);
            if (button >= 0 && button >= TopOf(kScope)) PopThrough(button);
            return;
        }
        case GUMBO_TAG_A:
            EndFormatting(tag);  // a link inside a link closes the first one
            return;
        case GUMBO_TAG_NOBR: {
            const int open = Top(tag);
            if (open >= 0 && open >= TopOf(kScope)) {
                Reopen();
                EndFormatting(tag);
            }
            return;
        }
        default:  // option, optgroup
            if (CurrentIs(GUMBO_TAG_OPTION)) PopOne();
            return;
    }
}

// <hr> and <br> make no element to keep: they only break the shown text.
void FlatMarkupBuilder::OnBreakStart(GumboTag tag, bool hidden) {
    if (tag == GUMBO_TAG_HR) {
        ClosePInButtonScope();
        if (Shown() && !hidden) writer_.SoftBreak();
        return;
    }
    Reopen();
    if (Shown() && !hidden) writer_.HardBreak();
}

// Makes the element of a start tag: reopens the formatting elements it needs, pushes it, and tells
// the tokenizer how to read the content of the elements whose content is not markup.
void FlatMarkupBuilder::OpenElement(const HtmlToken& token, GumboTag tag, bool hidden) {
    if (ReopensFormatting(tag)) Reopen();
    if (IsVoid(tag)) return;
    Push(token.name, tag, hidden);
    if (IsFormatting(tag)) Remember(token.name, tag, hidden);
    if (IsFormattingMarker(tag)) reopenable_.emplace_back();
    // clang-format off
    switch (tag) {
        case GUMBO_TAG_TEXTAREA: case GUMBO_TAG_TITLE:
            tokenizer_.SetContent(HtmlTokenizer::Content::kRcdata, token.name);
            break;
        case GUMBO_TAG_XMP: case GUMBO_TAG_IFRAME: case GUMBO_TAG_NOEMBED: case GUMBO_TAG_NOFRAMES:
        case GUMBO_TAG_STYLE: case GUMBO_TAG_SCRIPT:
            tokenizer_.SetContent(HtmlTokenizer::Content::kRawText, token.name);
            break;
        case GUMBO_TAG_PLAINTEXT:
            tokenizer_.SetContent(HtmlTokenizer::Content::kPlainText, token.name);
            break;
        default:
            break;
    }
    // clang-format on
}

// Inside <select> only options, option groups and scripts make elements; another <select> or a
// form control closes it.
void FlatMarkupBuilder::OnSelectStart(const HtmlToken& token, GumboTag tag) {
    switch (tag) {
        case GUMBO_TAG_OPTION:
            if (CurrentIs(GUMBO_TAG_OPTION)) PopOne();
            Push(token.name, tag, false);
            return;
        case GUMBO_TAG_OPTGROUP:
            if (CurrentIs(GUMBO_TAG_OPTION)) PopOne();
            if (CurrentIs(GUMBO_TAG_OPTGROUP)) PopOne();
            Push(token.name, tag, false);
            return;
        case GUMBO_TAG_SELECT:
            PopThrough(Top(GUMBO_TAG_SELECT));
            return;
        case GUMBO_TAG_INPUT:
        case GUMBO_TAG_KEYGEN:
        case GUMBO_TAG_TEXTAREA:
            PopThrough(Top(GUMBO_TAG_SELECT));
            return OnStart(token);
        case GUMBO_TAG_SCRIPT:
        case GUMBO_TAG_TEMPLATE:
            Push(token.name, tag, false);
            if (tag == GUMBO_TAG_SCRIPT) tokenizer_.SetContent(HtmlTokenizer::Content::kRawText, token.name);
            return;
        default:
            return;
    }
}

// Table structure: a row or cell closes the open cell or row of the same table, and rows get the
// body, and cells the row, that the table lacks.
void FlatMarkupBuilder::OnTableStart(const HtmlToken& token, GumboTag tag) {
    const int table = Top(GUMBO_TAG_TABLE);
    const bool hidden = HidesElement(token.hidden_attribute, token.style);
    switch (tag) {
        case GUMBO_TAG_CAPTION:
        case GUMBO_TAG_TBODY:
        case GUMBO_TAG_THEAD:
        case GUMBO_TAG_TFOOT:
            PopAbove(table);
            Push(token.name, tag, hidden);
            if (tag == GUMBO_TAG_CAPTION) reopenable_.emplace_back();
            return;
        case GUMBO_TAG_TR:
            OpenRowContext(table);
            Push(token.name, tag, hidden);
            return;
        case GUMBO_TAG_TD:
        case GUMBO_TAG_TH: {
            const int row = Top(GUMBO_TAG_TR);
            if (row > table) {
                PopAbove(row);
            } else {
                OpenRowContext(table);
                Push("tr", GUMBO_TAG_TR, false);
            }
            Push(token.name, tag, hidden);
            reopenable_.emplace_back();
            return;
        }
        default:  // column groups hold nothing that is shown
            return;
    }
}

void FlatMarkupBuilder::OpenRowContext(int table) {
    const int body = TopOf(kTableBody);
    if (body > table) {
        PopAbove(body);
    } else {
        PopAbove(table);
        Push("tbody", GUMBO_TAG_TBODY, false);
    }
}

void FlatMarkupBuilder::OnEnd(const HtmlToken& token) {
    const GumboTag tag = gumbo_tagn_enum(token.name.data(), static_cast<unsigned>(token.name.size()));
    uint32_t id = static_cast<uint32_t>(tag);
    if (tag == GUMBO_TAG_UNKNOWN) {
        const auto known = unknown_ids_.find(token.name);
        id = known == unknown_ids_.end() ? UINT32_MAX : known->second;
    }
    const int open = TopOfId(id);
    if (!by_group_[kForeign].empty()) {
        // Inside SVG or MathML an end tag closes its element there, or else is an HTML end tag.
        if (open >= by_group_[kForeign].front()) return PopThrough(open);
    }
    if (Top(GUMBO_TAG_SELECT) >= 0) {
        if (tag == GUMBO_TAG_OPTGROUP && CurrentIs(GUMBO_TAG_OPTION) && stack_.size() >= 2 &&
            stack_[stack_.size() - 2].id == GUMBO_TAG_OPTGROUP) {
            PopOne();
        }
        if ((tag == GUMBO_TAG_OPTION || tag == GUMBO_TAG_OPTGROUP) && CurrentIs(tag)) PopOne();
        if (tag == GUMBO_TAG_SELECT) PopThrough(open);
        if (tag == GUMBO_TAG_SCRIPT && CurrentIs(tag)) PopOne();
        return;
    }
    const int scope = TopOf(kScope);
    // clang-format off
    switch (tag) {
        case GUMBO_TAG_P:
            if (open >= 0 && open >= std::max(scope, TopOf(kButtonScope))) {
                PopThrough(open);
            } else if (Shown()) {
                writer_.SoftBreak();  // "</p>" alone makes an empty paragraph
            }
            return;
        case GUMBO_TAG_BR:
            Reopen();
            if (Shown()) writer_.HardBreak();
            return;
        case GUMBO_TAG_LI:
            if (open >= 0 && open >= std::max(scope, TopOf(kListScope))) PopThrough(open);
            return;
        case GUMBO_TAG_H1: case GUMBO_TAG_H2: case GUMBO_TAG_H3: case GUMBO_TAG_H4: case GUMBO_TAG_H5:
        case GUMBO_TAG_H6: {
            const int heading = TopOf(kHeading);
            if (heading >= 0 && heading >= scope) PopThrough(heading);
            return;
        }
        case GUMBO_TAG_TABLE: case GUMBO_TAG_TBODY: case GUMBO_TAG_THEAD: case GUMBO_TAG_TFOOT: case GUMBO_TAG_TR:
        case GUMBO_TAG_TD: case GUMBO_TAG_TH: case GUMBO_TAG_CAPTION:
            if (open >= 0 && open >= TopOf(kTableScope)) PopThrough(open);
            return;
        case GUMBO_TAG_HTML: case GUMBO_TAG_BODY: case GUMBO_TAG_HEAD: case GUMBO_TAG_COL: case GUMBO_TAG_COLGROUP:
        case GUMBO_TAG_FRAME: case GUMBO_TAG_FRAMESET:
            return;
        case GUMBO_TAG_ADDRESS: case GUMBO_TAG_ARTICLE: case GUMBO_TAG_ASIDE: case GUMBO_TAG_BLOCKQUOTE:
        case GUMBO_TAG_BUTTON: case GUMBO_TAG_CENTER: case GUMBO_TAG_DETAILS: case GUMBO_TAG_DIR: case GUMBO_TAG_DIV:
        case GUMBO_TAG_DL: case GUMBO_TAG_FIELDSET: case GUMBO_TAG_FIGCAPTION: case GUMBO_TAG_FIGURE:
        case GUMBO_TAG_FOOTER: case GUMBO_TAG_HEADER: case GUMBO_TAG_HGROUP: case GUMBO_TAG_LISTING:
        case GUMBO_TAG_MAIN: case GUMBO_TAG_MENU: case GUMBO_TAG_NAV: case GUMBO_TAG_OL: case GUMBO_TAG_PRE:
        case GUMBO_TAG_SECTION: case GUMBO_TAG_SUMMARY: case GUMBO_TAG_UL: case GUMBO_TAG_FORM: case GUMBO_TAG_DD:
        case GUMBO_TAG_DT: case GUMBO_TAG_APPLET: case GUMBO_TAG_MARQUEE: case GUMBO_TAG_OBJECT:
            if (open >= 0 && open >= scope) PopThrough(open);
            return;
        default:
            if (IsFormatting(tag) && EndFormatting(tag)) return;
            // Any other element closes when no special element stands above it.
            if (open >= 0 && open >= TopOf(kSpecial)) PopThrough(open);
            return;
    }
    // clang-format on
}

}  // namespace marl
