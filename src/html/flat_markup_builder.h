#pragma once
#include <gumbo.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "html/flat_markup_writer.h"
#include "html/html_tag_rules.h"
#include "html/html_tokenizer.h"
#include "html/rendered_text.h"

namespace marl {

// Reads a body fragment token by token and keeps the stack of open elements the HTML standard's tree
// rules would build, as far as it decides what is shown; the writer gets the edges of shown elements
// and the shown text. Used by FlattenMarkup only. The token rules are in flat_markup.cpp, the stack
// and the formatting elements in flat_markup_stack.cpp.
class FlatMarkupBuilder {
  public:
    explicit FlatMarkupBuilder(std::string_view html) : tokenizer_(html), move_budget_(html.size()) {}
    std::string Run();

  private:
    struct Open {
        uint32_t id;
        uint32_t serial;  // numbers every element made, in order
        GumboTag tag;
        uint16_t groups;
        RenderKind kind;
        bool visible;  // not hidden by its kind or its attributes
        bool shown;    // visible, and so is every element it stands in
    };
    // An entry of the formatting elements a browser reopens, or a marker that fences them off.
    struct Reopenable {
        std::string name;
        GumboTag tag = GUMBO_TAG_UNKNOWN;
        bool hidden = false;
        uint32_t serial = 0;
        bool marker = true;
    };

    // Tree building.
    void OnStart(const HtmlToken& token);
    bool CloseBeforeStart(const HtmlToken& token, GumboTag tag, bool hidden);
    void CloseListItem(GumboTag tag);
    void CloseSameKind(GumboTag tag);
    void OnBreakStart(GumboTag tag, bool hidden);
    void OpenElement(const HtmlToken& token, GumboTag tag, bool hidden);
    void OnSelectStart(const HtmlToken& token, GumboTag tag);
    void OnTableStart(const HtmlToken& token, GumboTag tag);
    void OnEnd(const HtmlToken& token);
    void OnText(const HtmlToken& token, bool strip_line_feed, bool escape);
    void Push(const std::string& name, GumboTag tag, bool hidden, bool foreign = false);
    void PopOne();
    void Register(const Open& open, int position);
    void Unregister(const Open& open);
    void MoveBlockOut(int formatting, int block);
    void PopThrough(int position);  // pops the element at `position` and everything above it
    void PopAbove(int position) { PopThrough(position + 1); }
    void ClosePInButtonScope();
    void OpenRowContext(int table);
    // Formatting elements: reopening those closed implicitly, and their end tags.
    void Reopen();
    void Remember(const std::string& name, GumboTag tag, bool hidden);
    bool EndFormatting(GumboTag tag);
    void ClearToMarker();

    uint32_t IdOf(const std::string& name, GumboTag tag);
    int Top(GumboTag tag) const { return TopOfId(static_cast<uint32_t>(tag)); }
    int TopOfId(uint32_t id) const {
        return id < by_id_.size() && !by_id_[id].empty() ? by_id_[id].back() : -1;
    }
    int TopOf(HtmlGroup g) const { return by_group_[g].empty() ? -1 : by_group_[g].back(); }
    bool CurrentIs(GumboTag tag) const {
        return !stack_.empty() && stack_.back().id == static_cast<uint32_t>(tag);
    }
    bool Shown() const { return stack_.empty() || stack_.back().shown; }

    HtmlTokenizer tokenizer_;
    FlatMarkupWriter writer_;
    std::vector<Open> stack_;
    std::vector<std::vector<int>> by_id_;
    std::array<std::vector<int>, kGroupCount> by_group_;
    std::unordered_map<std::string, uint32_t> unknown_ids_;
    std::vector<int> position_of_;  // by serial: the element's position in the stack, -1 once closed
    std::vector<Reopenable> reopenable_;
    size_t move_budget_;  // elements that blocks moved out of formatting elements may still carry
};

}  // namespace marl
