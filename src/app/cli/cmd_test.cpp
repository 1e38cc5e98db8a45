#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "app/cli/cli_commands.h"
#include "app/cli/cli_common.h"
#include "app/cli/cli_options.h"
#include "plans/plan_tester.h"

namespace marl::cli {
namespace {

// The names of the editor's encoding list entries that auto-detection may choose.
const char* EncodingName(int code_index) { return code_index == 1 ? "GBK" : "Utf-8"; }

// One thing the tester produced, as a JSON Lines record.
void EmitJsonRecord(const PlanTestEvent& event) {
    switch (event.kind) {
        case PlanTestEvent::kReport:
            EmitJson({{"event", "report"}, {"text", ToUtf8(event.text)}});
            break;
        case PlanTestEvent::kSection:
            EmitJson({{"event", "section"},
                      {"title", ToUtf8(event.section.title)},
                      {"text", ToUtf8(event.section.text)}});
            break;
        case PlanTestEvent::kRow:
            EmitJson({{"event", "row"},
                      {"id", event.row.id},
                      {"link", ToUtf8(event.row.link)},
                      {"title", ToUtf8(event.row.title)},
                      {"row", ToUtf8(event.row.row)}});
            break;
        case PlanTestEvent::kMessage:
            EmitJson({{"event", "message"}, {"text", ToUtf8(event.text)}});
            break;
        case PlanTestEvent::kEncoding:
            EmitJson({{"event", "encoding"}, {"value", EncodingName(event.code_index)}});
            break;
        case PlanTestEvent::kDom:
            EmitJson({{"event", "dom"}, {"value", ToUtf8(event.text)}});
            break;
    }
}

// For people: what the window shows, in its order. Report lines are held back for `report`, which is
// printed last as the window's report box comes last.
void EmitTextLine(const PlanTestEvent& event, std::vector<Text>& report) {
    switch (event.kind) {
        case PlanTestEvent::kReport:
            report.push_back(event.text);
            break;
        case PlanTestEvent::kSection:
            EmitLine(">>>>>>>>>>>> " + ToUtf8(event.section.title) + "\n" + std::string(31, '-') + "\n\n" +
                     ToUtf8(event.section.text) + "\n");
            break;
        case PlanTestEvent::kRow:
            EmitLine(std::to_string(event.row.id) + "\t" + ToUtf8(event.row.link) + "\t" +
                     ToUtf8(event.row.title) + "\t" + ToUtf8(event.row.row));
            break;
        case PlanTestEvent::kMessage:
            EmitLine("message: " + ToUtf8(event.text));
            break;
        case PlanTestEvent::kEncoding:
            EmitLine(std::string("encoding: ") + EncodingName(event.code_index));
            break;
        case PlanTestEvent::kDom:
            EmitLine("dom: " + ToUtf8(event.text));
            break;
    }
}

}  // namespace

// The plan tester on the values of the command line, without saving anything.
int RunTest(const TestOptions& options) {
    PlanTestInput input;
    input.code_index = options.encoding == "gbk" ? 1 : options.encoding == "utf-8" ? 2 : 0;
    input.url = options.url;
    input.part = options.area;
    input.post = options.post;
    input.ua = HeaderText(options.headers, options.default_headers);
    input.inck = options.must;
    input.inc1 = options.may;
    input.inc0 = options.exclude;
    input.url_key = options.row_key;
    input.url_key_i = options.row_value;
    input.position = std::to_string(options.position);

    // The command line shows everything the page gives, each record as soon as it is known: no bound on
    // sections or rows, and no row held in memory after it is printed.
    PlanTestOptions test_options;
    test_options.max_section_bytes = 0;
    test_options.max_rows = 0;
    std::vector<Text> report;
    test_options.on_event = [json = options.json, &report](const PlanTestEvent& event) {
        if (json) {
            EmitJsonRecord(event);
        } else {
            EmitTextLine(event, report);
        }
    };
    const PlanTestResult result = RunPlanTest(options.mode, input, test_options);
    if (!options.json && !result.refused) {
        EmitLine("report:");
        for (const Text& line : report) EmitLine("  " + ToUtf8(line));
    }
    return kExitOk;
}

Command AddTestCommand(CLI::App& program) {
    auto options = std::make_shared<TestOptions>();
    TestOptions& t = *options;
    CLI::App* command =
        program.add_subcommand("test", "try a plan on its page without saving it (the plan tester)");
    AddText(*command, "--url", t.url, "list page address");
    command->get_option("--url")->required();
    command->add_option("--mode", t.mode, "tester mode")
        ->transform(DecimalNumber())
        ->check(CLI::IsMember({1, 2, 3}).description(""))
        ->type_name("1|2|3");
    AddEncoding(*command, t.encoding, {"auto", "gbk", "utf-8"}, "page encoding; auto detects it");
    AddText(*command, "--area", t.area, "area: start marker [*] end marker");
    AddText(*command, "--post", t.post, "POST body");
    AddHeaders(*command, t.headers, t.default_headers);
    AddText(*command, "--must", t.must, "must-contain word");
    AddText(*command, "--may", t.may, "may-contain words, $$-separated");
    AddText(*command, "--not", t.exclude, "must-not-contain words, $$-separated");
    AddText(*command, "--row-key", t.row_key, "row-structure marker");
    AddRowValue(*command, t.row_value);
    AddNumber<int32_t>(*command, "--position", t.position,
                       "0 tests a new plan; above 0 the plan at that position", 0, INT32_MAX);
    AddJson(*command, t.json);
    return MakeCommand(command, options, RunTest);
}

}  // namespace marl::cli
