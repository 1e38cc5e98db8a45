#include "store/plan_record.h"

#include <utility>

#include "text/text_ops.h"

namespace marl {
namespace {

const Text& Column(const std::vector<Text>& row, PlanColumn column) {
    static const Text kEmpty;
    return static_cast<size_t>(column) < row.size() ? row[static_cast<size_t>(column)] : kEmpty;
}

// The stored word lists separate their words by "$$"; in memory they are alternatives.
Text WordsAsAlternatives(const Text& stored) { return ReplaceAll(stored, "$$", "|"); }

}  // namespace

Text AreaStartOf(const Text& part) { return TextBetween("[<]" + part + "[>]", "[<]", "[*]"); }

Text AreaEndOf(const Text& part) { return TextBetween("[<]" + part + "[>]", "[*]", "[>]"); }

PlanRecord PlanRecordFromRow(const std::vector<Text>& row) {
    PlanRecord r;
    r.id = TextToInt(Column(row, kColId));
    r.name = Column(row, kColName);
    r.url = Column(row, kColUrl);
    r.class_ = Column(row, kColClass);
    r.code = Column(row, kColCode);
    r.is_gbk = r.code == "1" ? 1 : 0;
    r.ua = Column(row, kColUa);
    r.post = Column(row, kColPost);
    r.use_post = r.post.empty() ? 0 : 1;
    r.part = Column(row, kColPart);
    r.area_start = AreaStartOf(r.part);
    r.area_end = AreaEndOf(r.part);
    r.js = Column(row, kColJs);
    r.url_gs = Column(row, kColUrlGs);
    r.url_key = Column(row, kColUrlKey);
    r.url_key_i = TextToInt(Column(row, kColUrlKeyI));
    r.inc1 = WordsAsAlternatives(Column(row, kColInc1));
    r.inc0 = WordsAsAlternatives(Column(row, kColInc0));
    r.inck = Column(row, kColInck);
    r.dom = Column(row, kColDom);
    r.ltime = TextToInt64(Column(row, kColLtime));
    return r;
}

PlanList::PlanList(std::vector<PlanRecord> records) : records_(std::move(records)) {}

const PlanRecord* PlanList::At(int position) const {
    if (position < 1 || position > size()) return nullptr;
    return &records_[static_cast<size_t>(position - 1)];
}

SharedPlanList::SharedPlanList() : list_(std::make_shared<const PlanList>()) {}

PlanListPtr SharedPlanList::Get() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return list_;
}

void SharedPlanList::Set(PlanListPtr list) {
    if (!list) list = std::make_shared<const PlanList>();
    // The old list is released outside the lock: the last reference may free many records.
    PlanListPtr old;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        old = std::exchange(list_, std::move(list));
    }
}

}  // namespace marl
