#include "store/plan_store.h"

#include <limits>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/text_ops.h"

namespace marl {
namespace {

constexpr std::string_view kMarker = "[marl]";

const Text& InsertTemplate() {
    static const Text kText = Gbk(
        "INSERT INTO \"rule\" (\"class\", \"name\", \"url\", \"code\", \"ua\", \"post\", \"part\", \"js\", "
        "\"url_gs\", \"inc1\", \"inc0\", \"ltime\", \"dom\", \"url_key\", \"url_key_i\", \"inck\")\r\n"
        "VALUES ([marl]分类[marl], [marl]名称[marl], [marl]链接[marl], [marl]编码[marl], [marl]协议头[marl], "
        "[marl]pst信息[marl], [marl]区域[marl], [marl]js脚本[marl], [marl]url格式[marl], [marl]包含词[marl], "
        "[marl]不含词[marl], [marl]时间[marl], [marl]前缀[marl], [marl]行结构标记[marl], "
        "[marl]行结构值[marl], "
        "[marl]必含词[marl]);");
    return kText;
}

const Text& UpdateTemplate() {
    static const Text kText =
        Gbk("UPDATE \"rule\" SET \"class\" = [marl]1[marl],\"name\" = [marl]名称[marl],\"url\" = "
            "[marl]链接[marl],"
            "\"dom\" = [marl]前缀[marl],\"code\" = [marl]编码[marl],\"ua\" = [marl]协议头[marl],"
            "\"post\" = [marl]pst信息[marl],\"part\" = [marl]区域[marl],\"js\" = [marl]js脚本[marl],"
            "\"url_gs\" = [marl]url格式[marl],\"inc1\" = [marl]包含词[marl],\"inc0\" = [marl]不含词[marl],"
            "\"ltime\" = [marl]时间[marl],\"url_key\" = [marl]行结构标记[marl],\"url_key_i\" = "
            "[marl]行结构值[marl],"
            "\"inck\" = [marl]必含词[marl] WHERE \"id\" = [marl]编号[marl];");
    return kText;
}

// A statement under construction: template text, in which labels and markers still count,
// and values already put in, which are never searched again.
struct Piece {
    bool is_value;
    Text text;
};

// Puts `value` (its quotes doubled) in place of every [marl]label[marl] of the template pieces.
void FillLabel(std::vector<Piece>& pieces, const Text& label, const Text& value) {
    const Text placeholder = Text(kMarker) + label + Text(kMarker);
    std::vector<Piece> filled;
    filled.reserve(pieces.size() + 4);
    for (Piece& piece : pieces) {
        if (piece.is_value) {
            filled.push_back(std::move(piece));
            continue;
        }
        std::string_view rest = piece.text;
        for (size_t at = rest.find(placeholder); at != std::string_view::npos; at = rest.find(placeholder)) {
            filled.push_back({false, Text(rest.substr(0, at)) + Text(kMarker)});
            filled.push_back({true, SqlEscape(UpToZero(value))});
            filled.push_back({false, Text(kMarker)});
            rest.remove_prefix(at + placeholder.size());
        }
        filled.push_back({false, Text(rest)});
    }
    pieces = std::move(filled);
}

}  // namespace

const Text& PlanListStatement() {
    static const Text kText =
        "SELECT id,class,name,url,code,ua,part,js,url_gs,ltime,post,inc1,inc0,dom,url_key,url_key_i,inck "
        "FROM 'rule' ORDER BY 'id' DESC LIMIT 50";
    return kText;
}

Text FillPlanStatement(const PlanValues& values, int32_t id) {
    static const Text kEmpty;
    static const Text kOne = "1";
    const std::pair<Text, const Text*> labels[] = {
        {Gbk("编号"), nullptr},  // the id, filled below
        {Gbk("分类"), &kOne},
        {Gbk("名称"), &values.name},
        {Gbk("链接"), &values.url},
        {Gbk("编码"), &values.code},
        {Gbk("协议头"), &values.ua},
        {Gbk("pst信息"), &values.post},
        {Gbk("区域"), &values.part},
        {Gbk("js脚本"), &kEmpty},
        {Gbk("url格式"), &kEmpty},
        {Gbk("包含词"), &values.inc1},
        {Gbk("不含词"), &values.inc0},
        {Gbk("前缀"), &values.dom},
        {Gbk("时间"), &kEmpty},
        {Gbk("行结构标记"), &values.url_key},
        {Gbk("行结构值"), &values.url_key_i},
        {Gbk("必含词"), &values.inck},
    };
    const Text id_text = std::to_string(id);
    std::vector<Piece> pieces{{false, id > 0 ? UpdateTemplate() : InsertTemplate()}};
    for (const auto& [label, value] : labels) FillLabel(pieces, label, value ? *value : id_text);
    Text statement;
    for (const Piece& piece : pieces) {
        statement += piece.is_value ? piece.text : ReplaceAll(piece.text, kMarker, "'");
    }
    return statement;
}

Text DropPlanStatement(int32_t id) {
    return "DELETE FROM \"rule\" WHERE ((\"id\" = '" + std::to_string(id) + "'));";
}

Text DefaultHeaderBlock() {
    return Gbk(
        "User-Agent:Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
        "Chrome/58.0.3029.110 Safari/537.36 SE 2.X MetaSr 1.0\r\n"
        "Cookie:伪装浏览器或模拟登陆专用（此框一般不用变动）");
}

PlanStore::PlanStore(Database& db, SharedPlanList& plans) : db_(db), plans_(plans) {}

int PlanStore::LoadPlans() {
    bool failed = false;
    return LoadPlans(failed);
}

int PlanStore::LoadPlans(bool& failed) {
    std::vector<std::vector<Text>> rows;
    failed = false;
    if (db_.QueryRows(PlanListStatement(), rows, failed) <= 0 || rows.empty()) return 0;
    try {
        std::vector<PlanRecord> records;
        records.reserve(rows.size());
        for (const auto& row : rows) records.push_back(PlanRecordFromRow(row));
        const int count = static_cast<int>(records.size());
        plans_.Set(std::make_shared<const PlanList>(std::move(records)));
        return count;
    } catch (const std::bad_alloc&) {
        failed = true;
        return 0;
    }
}

StoreResult PlanStore::UpsertPlan(const PlanValues& values, int32_t id) {
    StoreResult result;
    try {
        result.sql = FillPlanStatement(values, id);
    } catch (const std::bad_alloc&) {
        return result;
    }
    if (id > 0) {
        result.ok = db_.ExecuteSql(result.sql);
        if (result.ok) result.id = id;
        return result;
    }
    int64_t inserted_id = 0;
    result.ok = db_.ExecuteSql(result.sql, inserted_id);
    if (result.ok && inserted_id > 0 && inserted_id <= std::numeric_limits<int32_t>::max()) {
        result.id = static_cast<int32_t>(inserted_id);
    }
    return result;
}

StoreResult PlanStore::DropPlan(int32_t id) {
    StoreResult result;
    result.sql = DropPlanStatement(id);
    result.ok = db_.ExecuteSql(result.sql);
    return result;
}

}  // namespace marl
