// The open-element stack of FlatMarkupBuilder, and the formatting elements browsers reopen.
#include "html/flat_markup_builder.h"

#include <algorithm>
#include <cstddef>

namespace marl {

void FlatMarkupBuilder::Push(const std::string& name, GumboTag tag, bool hidden, bool foreign) {
    const RenderKind kind = foreign ? RenderKind::kSkip : KindOfTag(tag);
    const bool shown = Shown() && kind != RenderKind::kSkip && !hidden;
    const uint16_t groups = foreign ? 0 : GroupsOf(tag);
    const uint32_t id = IdOf(name, tag);
    const auto serial = static_cast<uint32_t>(position_of_.size());
    position_of_.push_back(-1);
    const bool visible = kind != RenderKind::kSkip && !hidden;
    stack_.push_back(
        {id, serial, foreign ? GUMBO_TAG_UNKNOWN : tag, groups, kind, visible, Shown() && visible});
    Register(stack_.back(), static_cast<int>(stack_.size()) - 1);
    if (shown) writer_.Open(kind);
}

void FlatMarkupBuilder::PopOne() {
    const Open open = stack_.back();
    Unregister(open);
    stack_.pop_back();
    position_of_[open.serial] = -1;
    if (IsFormattingMarker(open.tag)) ClearToMarker();
    if (open.shown) writer_.Close(open.kind);
}

void FlatMarkupBuilder::Register(const Open& open, int position) {
    position_of_[open.serial] = position;
    by_id_[open.id].push_back(position);
    for (int g = 0; g < kGroupCount; ++g) {
        if (open.groups & GroupBit(static_cast<HtmlGroup>(g))) by_group_[g].push_back(position);
    }
}

// Positions are kept in stack order, so the element registered last is the one to go.
void FlatMarkupBuilder::Unregister(const Open& open) {
    by_id_[open.id].pop_back();
    for (int g = 0; g < kGroupCount; ++g) {
        if (open.groups & GroupBit(static_cast<HtmlGroup>(g))) by_group_[g].pop_back();
    }
}

// A formatting element ends while a block opened inside it is still open ("<b>1<div>2</b>3"): the
// block moves out to where the formatting element stood, and what it held so far is wrapped in a copy
// of the formatting element. Elements between the two close, except formatting ones, which the block
// keeps around it. What is open inside the block stays open inside the copy.
void FlatMarkupBuilder::MoveBlockOut(int formatting, int block) {
    std::vector<Open> moved(stack_.begin() + formatting, stack_.end());
    for (int k = static_cast<int>(stack_.size()) - 1; k >= formatting; --k)
        Unregister(stack_[static_cast<size_t>(k)]);
    stack_.resize(static_cast<size_t>(formatting));
    auto reinsert = [&](Open open) {
        const bool was_shown = open.shown;
        open.shown = Shown() && open.visible;
        stack_.push_back(open);
        Register(open, static_cast<int>(stack_.size()) - 1);
        if (open.kind != RenderKind::kPreformatted || was_shown == open.shown) return;
        if (open.shown) writer_.Open(open.kind);
        if (!open.shown) writer_.Close(open.kind);
    };
    const size_t block_index = static_cast<size_t>(block - formatting);
    for (size_t k = 1; k < block_index; ++k) {
        if (IsFormatting(moved[k].tag)) {
            reinsert(moved[k]);
        } else {
            position_of_[moved[k].serial] = -1;
        }
    }
    reinsert(moved[block_index]);
    reinsert(moved[0]);  // the copy of the formatting element, right inside the block
    for (size_t k = block_index + 1; k < moved.size(); ++k) reinsert(moved[k]);
}

void FlatMarkupBuilder::PopThrough(int position) {
    if (position < 0) return;
    while (static_cast<int>(stack_.size()) > position) PopOne();
}

// Formatting elements closed implicitly (by the end of a block, say) are reopened where text or an
// inline element follows, with their attributes, so a hidden one keeps hiding. Only the most recent
// ones after the last marker count, three of a kind at most, as browsers keep them; the list is also
// held short so that reopening costs a bounded amount of work.
namespace {
constexpr size_t kMaxReopenable = 64;
}  // namespace

void FlatMarkupBuilder::Reopen() {
    if (reopenable_.empty()) return;
    auto closed = [&](const Reopenable& r) { return !r.marker && position_of_[r.serial] < 0; };
    if (!closed(reopenable_.back())) return;
    size_t first = reopenable_.size() - 1;
    while (first > 0 && closed(reopenable_[first - 1])) --first;
    for (size_t k = first; k < reopenable_.size(); ++k) {
        Push(reopenable_[k].name, reopenable_[k].tag, reopenable_[k].hidden);
        reopenable_[k].serial = stack_.back().serial;
    }
}

void FlatMarkupBuilder::Remember(const std::string& name, GumboTag tag, bool hidden) {
    size_t same = 0;
    size_t earliest_same = reopenable_.size();
    size_t section = reopenable_.size();  // the entries after the last marker
    while (section > 0 && !reopenable_[section - 1].marker) {
        --section;
        if (reopenable_[section].tag == tag && reopenable_[section].hidden == hidden) {
            ++same;
            earliest_same = section;
        }
    }
    if (same >= 3) {
        reopenable_.erase(reopenable_.begin() + static_cast<std::ptrdiff_t>(earliest_same));
    } else if (reopenable_.size() - section >= kMaxReopenable) {
        reopenable_.erase(reopenable_.begin() + static_cast<std::ptrdiff_t>(section));
    }
    reopenable_.push_back({name, tag, hidden, stack_.back().serial, false});
}

// The end tag of a formatting element: closes the most recent one (and what is open inside it), or
// forgets it when it was closed already. A block opened inside it stays open, with the element
// around it. False when no such element is remembered.
bool FlatMarkupBuilder::EndFormatting(GumboTag tag) {
    size_t k = reopenable_.size();
    while (k > 0 && !reopenable_[k - 1].marker && reopenable_[k - 1].tag != tag) --k;
    if (k == 0 || reopenable_[k - 1].marker) return false;
    const size_t entry = k - 1;
    const uint32_t serial = reopenable_[entry].serial;
    if (position_of_[serial] >= 0 && position_of_[serial] < TopOf(kScope)) return true;  // in another cell
    // As browsers do, at most eight rounds of moving blocks out. Each round moves every element above
    // the formatting element, so all rounds together may move only as many elements as the fragment
    // has bytes; past that the element is only forgotten, as if a block stood in the way.
    for (int round = 0; round < 8 && position_of_[serial] >= 0; ++round) {
        const int position = position_of_[serial];
        const std::vector<int>& special = by_group_[kSpecial];
        const auto block = std::upper_bound(special.begin(), special.end(), position);
        if (block == special.end()) {
            PopThrough(position);
            break;
        }
        const size_t moves = stack_.size() - static_cast<size_t>(position);
        if (moves > move_budget_) break;
        move_budget_ -= moves;
        MoveBlockOut(position, *block);
    }
    if (position_of_[serial] < 0) reopenable_.erase(reopenable_.begin() + static_cast<std::ptrdiff_t>(entry));
    return true;
}

void FlatMarkupBuilder::ClearToMarker() {
    while (!reopenable_.empty() && !reopenable_.back().marker) reopenable_.pop_back();
    if (!reopenable_.empty()) reopenable_.pop_back();
}

void FlatMarkupBuilder::ClosePInButtonScope() {
    const int p = Top(GUMBO_TAG_P);
    if (p >= 0 && p >= std::max(TopOf(kScope), TopOf(kButtonScope))) PopThrough(p);
}

uint32_t FlatMarkupBuilder::IdOf(const std::string& name, GumboTag tag) {
    uint32_t id = static_cast<uint32_t>(tag);
    if (tag == GUMBO_TAG_UNKNOWN) {
        const auto [it, added] =
            unknown_ids_.try_emplace(name, static_cast<uint32_t>(GUMBO_TAG_LAST) + 1 + unknown_ids_.size());
        id = it->second;
    }
    if (id >= by_id_.size()) by_id_.resize(std::max<size_t>(id + 1, by_id_.size() * 2));
    return id;
}

}  // namespace marl
