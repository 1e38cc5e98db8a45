#pragma once
#include <string>
#include <string_view>

#include "html/rendered_text.h"

namespace marl {

// Writes flattened markup: text runs as written, and for the elements around them only what the
// rendered-text walk does at their edges. An empty paragraph stands for the end of a line before or
// after a block, <br> for a line break, a space for the gap between table cells, and one <pre> for
// all preformatted text, however deeply nested. It keeps what the walk will know when it reaches the
// next piece (whether the line holds text, whether a character reference could still be completed)
// so that joining text runs never changes what they say.
class FlatMarkupWriter {
  public:
    // The edges of an element of this kind that is shown.
    void Open(RenderKind kind);
    void Close(RenderKind kind);
    void SoftBreak();
    void HardBreak();
    void Separator();
    // Shown text; with escape, written so that it shows as it is (raw text of <xmp> and <plaintext>).
    void Text(std::string_view text, bool escape);
    // Markup stood between the text written last and what comes next.
    void MarkupBetween() { markup_since_text_ = true; }
    std::string Take() { return std::move(out_); }

  private:
    void Marker(std::string_view markup);

    std::string out_;
    int pre_depth_ = 0;  // shown preformatted elements open
    enum class Last { kText, kSoftBreak, kSeparator, kOther } last_ = Last::kOther;
    // The text written so far ends where the next text could complete a character reference or a
    // tag ("&am" + "p;", "<" + "b"); an empty comment goes between them when markup stood there.
    bool open_reference_ = false;
    bool open_angle_ = false;
    bool markup_since_text_ = false;
    // Whether the line holds text, and whether a cell boundary inside preformatted text waits to
    // become a space.
    bool line_has_text_ = false;
    bool pre_separator_ = false;
};

}  // namespace marl
