#include "html/html_tag_rules.h"

namespace marl {

uint16_t GroupsOf(GumboTag tag) {
    uint16_t groups = 0;
    // clang-format off
    switch (tag) {
        case GUMBO_TAG_ADDRESS: case GUMBO_TAG_APPLET: case GUMBO_TAG_AREA: case GUMBO_TAG_ARTICLE:
        case GUMBO_TAG_ASIDE: case GUMBO_TAG_BASE: case GUMBO_TAG_BASEFONT: case GUMBO_TAG_BGSOUND:
        case GUMBO_TAG_BLOCKQUOTE: case GUMBO_TAG_BODY: case GUMBO_TAG_BR: case GUMBO_TAG_BUTTON:
        case GUMBO_TAG_CAPTION: case GUMBO_TAG_CENTER: case GUMBO_TAG_COL: case GUMBO_TAG_COLGROUP:
        case GUMBO_TAG_DD: case GUMBO_TAG_DETAILS: case GUMBO_TAG_DIR: case GUMBO_TAG_DIV: case GUMBO_TAG_DL:
        case GUMBO_TAG_DT: case GUMBO_TAG_EMBED: case GUMBO_TAG_FIELDSET: case GUMBO_TAG_FIGCAPTION:
        case GUMBO_TAG_FIGURE: case GUMBO_TAG_FOOTER: case GUMBO_TAG_FORM: case GUMBO_TAG_FRAME:
        case GUMBO_TAG_FRAMESET: case GUMBO_TAG_H1: case GUMBO_TAG_H2: case GUMBO_TAG_H3: case GUMBO_TAG_H4:
        case GUMBO_TAG_H5: case GUMBO_TAG_H6: case GUMBO_TAG_HEAD: case GUMBO_TAG_HEADER: case GUMBO_TAG_HGROUP:
        case GUMBO_TAG_HR: case GUMBO_TAG_HTML: case GUMBO_TAG_IFRAME: case GUMBO_TAG_IMG: case GUMBO_TAG_INPUT:
        case GUMBO_TAG_ISINDEX: case GUMBO_TAG_LI: case GUMBO_TAG_LINK: case GUMBO_TAG_LISTING:
        case GUMBO_TAG_MAIN: case GUMBO_TAG_MARQUEE: case GUMBO_TAG_MENU: case GUMBO_TAG_MENUITEM:
        case GUMBO_TAG_META: case GUMBO_TAG_NAV: case GUMBO_TAG_NOEMBED: case GUMBO_TAG_NOFRAMES:
        case GUMBO_TAG_NOSCRIPT: case GUMBO_TAG_OBJECT: case GUMBO_TAG_OL: case GUMBO_TAG_P:
        case GUMBO_TAG_PARAM: case GUMBO_TAG_PLAINTEXT: case GUMBO_TAG_PRE: case GUMBO_TAG_SCRIPT:
        case GUMBO_TAG_SECTION: case GUMBO_TAG_SELECT: case GUMBO_TAG_SOURCE: case GUMBO_TAG_STYLE:
        case GUMBO_TAG_SUMMARY: case GUMBO_TAG_TABLE: case GUMBO_TAG_TBODY: case GUMBO_TAG_TD:
        case GUMBO_TAG_TEMPLATE: case GUMBO_TAG_TEXTAREA: case GUMBO_TAG_TFOOT: case GUMBO_TAG_TH:
        case GUMBO_TAG_THEAD: case GUMBO_TAG_TITLE: case GUMBO_TAG_TR: case GUMBO_TAG_TRACK: case GUMBO_TAG_UL:
        case GUMBO_TAG_WBR: case GUMBO_TAG_XMP:
            groups |= GroupBit(kSpecial);
            if (tag != GUMBO_TAG_ADDRESS && tag != GUMBO_TAG_DIV && tag != GUMBO_TAG_P) groups |= GroupBit(kListStop);
            break;
        default:
            break;
    }
    switch (tag) {
        case GUMBO_TAG_APPLET: case GUMBO_TAG_CAPTION: case GUMBO_TAG_HTML: case GUMBO_TAG_TD: case GUMBO_TAG_TH:
        case GUMBO_TAG_MARQUEE: case GUMBO_TAG_OBJECT:
            groups |= GroupBit(kScope);
            break;
        case GUMBO_TAG_TABLE: case GUMBO_TAG_TEMPLATE:
            groups |= GroupBit(kScope) | GroupBit(kTableScope);
            break;
        case GUMBO_TAG_BUTTON: groups |= GroupBit(kButtonScope); break;
        case GUMBO_TAG_OL: case GUMBO_TAG_UL: groups |= GroupBit(kListScope); break;
        case GUMBO_TAG_H1: case GUMBO_TAG_H2: case GUMBO_TAG_H3: case GUMBO_TAG_H4: case GUMBO_TAG_H5:
        case GUMBO_TAG_H6:
            groups |= GroupBit(kHeading);
            break;
        case GUMBO_TAG_TBODY: case GUMBO_TAG_THEAD: case GUMBO_TAG_TFOOT: groups |= GroupBit(kTableBody); break;
        case GUMBO_TAG_SVG: case GUMBO_TAG_MATH: groups |= GroupBit(kForeign); break;
        default: break;
    }
    if (tag == GUMBO_TAG_TD || tag == GUMBO_TAG_TH || tag == GUMBO_TAG_CAPTION) groups |= GroupBit(kCellLike);
    // clang-format on
    return groups;
}

bool ClosesParagraph(GumboTag tag) {
    // clang-format off
    switch (tag) {
        case GUMBO_TAG_ADDRESS: case GUMBO_TAG_ARTICLE: case GUMBO_TAG_ASIDE: case GUMBO_TAG_BLOCKQUOTE:
        case GUMBO_TAG_CENTER: case GUMBO_TAG_DETAILS: case GUMBO_TAG_DIR: case GUMBO_TAG_DIV: case GUMBO_TAG_DL:
        case GUMBO_TAG_FIELDSET: case GUMBO_TAG_FIGCAPTION: case GUMBO_TAG_FIGURE: case GUMBO_TAG_FOOTER:
        case GUMBO_TAG_HEADER: case GUMBO_TAG_HGROUP: case GUMBO_TAG_MAIN: case GUMBO_TAG_MENU: case GUMBO_TAG_NAV:
        case GUMBO_TAG_OL: case GUMBO_TAG_P: case GUMBO_TAG_SECTION: case GUMBO_TAG_SUMMARY: case GUMBO_TAG_UL:
        case GUMBO_TAG_FORM:
            return true;
        default:
            return false;
    }
    // clang-format on
}

bool IsFormatting(GumboTag tag) {
    // clang-format off
    switch (tag) {
        case GUMBO_TAG_A: case GUMBO_TAG_B: case GUMBO_TAG_BIG: case GUMBO_TAG_CODE: case GUMBO_TAG_EM:
        case GUMBO_TAG_FONT: case GUMBO_TAG_I: case GUMBO_TAG_NOBR: case GUMBO_TAG_S: case GUMBO_TAG_SMALL:
        case GUMBO_TAG_STRIKE: case GUMBO_TAG_STRONG: case GUMBO_TAG_TT: case GUMBO_TAG_U:
            return true;
        default:
            return false;
    }
    // clang-format on
}

bool IsVoid(GumboTag tag) {
    // clang-format off
    switch (tag) {
        case GUMBO_TAG_AREA: case GUMBO_TAG_BR: case GUMBO_TAG_EMBED: case GUMBO_TAG_IMG: case GUMBO_TAG_IMAGE:
        case GUMBO_TAG_KEYGEN: case GUMBO_TAG_WBR: case GUMBO_TAG_INPUT: case GUMBO_TAG_PARAM:
        case GUMBO_TAG_SOURCE: case GUMBO_TAG_TRACK: case GUMBO_TAG_BASE: case GUMBO_TAG_BASEFONT:
        case GUMBO_TAG_BGSOUND: case GUMBO_TAG_LINK: case GUMBO_TAG_META: case GUMBO_TAG_HR:
            return true;
        default:
            return false;
    }
    // clang-format on
}

bool IsFormattingMarker(GumboTag tag) {
    // clang-format off
    switch (tag) {
        case GUMBO_TAG_APPLET: case GUMBO_TAG_MARQUEE: case GUMBO_TAG_OBJECT: case GUMBO_TAG_TD: case GUMBO_TAG_TH:
        case GUMBO_TAG_CAPTION: case GUMBO_TAG_TEMPLATE:
            return true;
        default:
            return false;
    }
    // clang-format on
}

bool ReopensFormatting(GumboTag tag) {
    // clang-format off
    switch (tag) {
        case GUMBO_TAG_HTML: case GUMBO_TAG_BODY: case GUMBO_TAG_HEAD: case GUMBO_TAG_FRAME: case GUMBO_TAG_FRAMESET:
        case GUMBO_TAG_CAPTION: case GUMBO_TAG_COL: case GUMBO_TAG_COLGROUP: case GUMBO_TAG_TBODY: case GUMBO_TAG_TD:
        case GUMBO_TAG_TFOOT: case GUMBO_TAG_TH: case GUMBO_TAG_THEAD: case GUMBO_TAG_TR: case GUMBO_TAG_TABLE:
        case GUMBO_TAG_H1: case GUMBO_TAG_H2: case GUMBO_TAG_H3: case GUMBO_TAG_H4: case GUMBO_TAG_H5:
        case GUMBO_TAG_H6: case GUMBO_TAG_PRE: case GUMBO_TAG_LISTING: case GUMBO_TAG_PLAINTEXT: case GUMBO_TAG_LI:
        case GUMBO_TAG_DD: case GUMBO_TAG_DT: case GUMBO_TAG_HR: case GUMBO_TAG_TEXTAREA: case GUMBO_TAG_IFRAME:
        case GUMBO_TAG_NOEMBED: case GUMBO_TAG_NOFRAMES: case GUMBO_TAG_STYLE: case GUMBO_TAG_SCRIPT:
        case GUMBO_TAG_TITLE: case GUMBO_TAG_TEMPLATE: case GUMBO_TAG_BASE: case GUMBO_TAG_BASEFONT:
        case GUMBO_TAG_BGSOUND: case GUMBO_TAG_LINK: case GUMBO_TAG_META: case GUMBO_TAG_PARAM:
        case GUMBO_TAG_SOURCE: case GUMBO_TAG_TRACK:
            return false;
        case GUMBO_TAG_XMP:
            return true;
        default:
            return !ClosesParagraph(tag);
    }
    // clang-format on
}

}  // namespace marl
