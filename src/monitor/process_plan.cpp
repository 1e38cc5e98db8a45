#include "monitor/process_plan.h"

#include <exception>
#include <new>
#include <optional>
#include <string>

#include "html/html_to_text.h"
#include "monitor/record_article.h"
#include "monitor/status_log.h"
#include "text/gbk_codec.h"
#include "text/text_ops.h"
#include "web/page_fetcher.h"

namespace marl {
namespace {

const Text& Preparing() {
    static const Text text = Gbk(" ] 准备工作..");
    return text;
}
const Text& Fetched() {
    static const Text text = Gbk("源码获取完成");
    return text;
}
const Text& EmptyPage() {
    static const Text text = Gbk("源码空，请检查 网址是否可用 或 截取标记 ");
    return text;
}
const Text& MatchedCount() {
    static const Text text = Gbk("匹配到网址数：");
    return text;
}
const Text& KeptCount() {
    static const Text text = Gbk("筛选链接数：");
    return text;
}

}  // namespace

bool PassesRowStructure(std::string_view row, const Text& url_key, int32_t url_key_i) {
    if (url_key.empty()) return true;
    const size_t found = row.find(url_key);
    const int64_t pos = found == std::string_view::npos ? -1 : static_cast<int64_t>(found) + 1;
    return pos * url_key_i >= 0;
}

std::vector<Candidate> FilterCandidates(const PlanRecord& plan, const std::vector<LinkMatch>& matches,
                                        const ClipboardSink& clipboard) {
    std::vector<Candidate> kept;
    // Compiled once for the whole page; only built when a link gets as far as the words.
    std::optional<LinkFilter> word_filter;
    const bool has_words = !plan.inc1.empty() || !plan.inc0.empty();
    for (auto it = matches.rbegin(); it != matches.rend(); ++it) {
        if (!PassesRowStructure(it->row, plan.url_key, plan.url_key_i)) continue;
        if (!plan.inck.empty() && it->link.find(plan.inck) == std::string_view::npos) continue;
        if (has_words) {
            if (!word_filter) word_filter.emplace(plan.inc1, plan.inc0);
            if (!word_filter->Matches(it->link, clipboard)) continue;
        }
        kept.push_back(Candidate{it->title, it->link});
    }
    return kept;
}

void ProcessPlan(const MonitorContext& context, int32_t position) {
    // Our own reference: the record stays alive even if the list is swapped during the call.
    const PlanListPtr plans = context.plans.Get();
    const PlanRecord* plan = plans->At(position);
    if (plan == nullptr) return;

    MonitorUi& ui = context.ui;
    const auto log = [&](const Text& message) { StatusLog(ui, context.clock, message); };
    try {
        log("[ " + plan->name + Preparing());
        Text page = FetchPage(plan->url, plan->use_post != 0 ? HttpMethod::kPost : HttpMethod::kGet,
                              plan->post, plan->ua, plan->is_gbk != 0, context.limits);
        if (!plan->area_start.empty() && !plan->area_end.empty()) {
            page = TextBetween(page, plan->area_start, plan->area_end);
        }
        log(Fetched());
        if (page.empty()) {
            log(EmptyPage());
            return;
        }

        const std::vector<LinkMatch> matches = FindLinks(page);
        log(MatchedCount() + std::to_string(matches.size()));

        const ClipboardSink clipboard = [&ui](const Text& text) { ui.SetClipboard(text); };
        const std::vector<Candidate> candidates = FilterCandidates(*plan, matches, clipboard);
        log(KeptCount() + std::to_string(candidates.size()));

        ArticleRecorder recorder(context, *plan, position);
        for (const Candidate& candidate : candidates) {
            // A GBK page's link may hold bytes that are no GBK character: they go percent-encoded, as
            // a browser sends them, so the stored address is text every reader can convert.
            // The title is made only for an article that turns out to be new.
            recorder.Record(PercentEncodeInvalidGbk(candidate.link),
                            [&candidate] { return HtmlToText(Text(candidate.title)); });
        }
        recorder.Finish();
        // After the commit, so the articles are shown and stored without waiting for the index.
        context.db.CatchUpSearchIndex();
    } catch (const std::bad_alloc&) {
        // A page too big to work on ends this plan only; the next plan gets a fresh start.
        static const Text kOutOfMemory = Gbk("内存不足，本方案跳过");
        log(kOutOfMemory);
    } catch (const std::exception&) {
        static const Text kFailed = Gbk("处理出错，本方案跳过");
        log(kFailed);
    }
}

}  // namespace marl
