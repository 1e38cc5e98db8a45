#include <memory>
#include <string>

#include "app/cli/cli_commands.h"
#include "app/cli/cli_common.h"
#include "app/cli/cli_options.h"
#include "plans/plan_suggester.h"

namespace marl::cli {
namespace {

void EmitCandidate(size_t rank, const PlanSuggestion& plan) {
    const PlanForm& f = plan.form;
    nlohmann::ordered_json preview = nlohmann::ordered_json::array();
    for (const SuggestPreviewItem& item : plan.preview)
        preview.push_back({{"title", ToUtf8(item.title)}, {"url", ToUtf8(item.url)}});
    EmitJson({{"event", "candidate"},
              {"rank", rank},
              {"name", ToUtf8(f.name)},
              {"encoding", EncodingValue(f.encoding)},
              {"area", ToUtf8(f.area)},
              {"must", ToUtf8(f.must_contain)},
              {"may", ToUtf8(f.may_contain)},
              {"not", ToUtf8(f.must_not_contain)},
              {"prefix", ToUtf8(f.link_prefix)},
              {"row_key", ToUtf8(f.row_marker)},
              {"row_value", RowValue(f.row_marker_mode)},
              {"kept", plan.kept},
              {"preview", preview}});
}

// For people: each candidate's values as `save` takes them, then what it keeps.
void PrintCandidate(size_t rank, const PlanSuggestion& plan) {
    const PlanForm& f = plan.form;
    std::string text = "candidate " + std::to_string(rank) + ": " + ToUtf8(f.name) + "\n";
    auto field = [&text](const char* option, const Text& value) {
        if (!value.empty()) text += std::string("  ") + option + " " + ToUtf8(value) + "\n";
    };
    text += std::string("  --encoding ") + EncodingValue(f.encoding) + "\n";
    field("--area", f.area);
    field("--must", f.must_contain);
    field("--may", f.may_contain);
    field("--not", f.must_not_contain);
    field("--prefix", f.link_prefix);
    field("--row-key", f.row_marker);
    if (!f.row_marker.empty()) text += "  --row-value " + std::to_string(RowValue(f.row_marker_mode)) + "\n";
    text += "  keeps " + std::to_string(plan.kept) + " links, first:\n";
    for (const SuggestPreviewItem& item : plan.preview)
        text += "    " + ToUtf8(item.title) + "  " + ToUtf8(item.url) + "\n";
    EmitLine(text);
}

// The chosen candidate through `save`, with the headers and POST body it was fetched with.
int SaveCandidate(const SuggestOptions& options, const PlanForm& form) {
    SaveOptions save;
    save.dir = options.dir;
    save.position = 0;
    save.encoding = EncodingValue(form.encoding);
    save.values.name = form.name;
    save.values.url = form.url;
    save.values.part = form.area;
    save.values.inck = form.must_contain;
    save.values.inc1 = form.may_contain;
    save.values.inc0 = form.must_not_contain;
    save.values.dom = form.link_prefix;
    save.values.post = options.post;
    save.values.url_key = form.row_marker;
    save.headers = options.headers;
    save.default_headers = options.default_headers;
    save.row_value = RowValue(form.row_marker_mode);
    save.json = options.json;
    return RunSave(save);
}

}  // namespace

// Proposes plans for the page at --url; nothing is stored unless --save names a candidate.
int RunSuggest(const SuggestOptions& options) {
    SuggestInput input;
    input.url = options.url;
    input.encoding = PlanEncodingOf(options.encoding);
    input.post = options.post;
    input.ua = HeaderText(options.headers, options.default_headers);
    const SuggestResult result = SuggestPlans(input);
    if (result.candidates.empty()) {
        if (options.json) {
            EmitJson({{"event", "message"}, {"text", ToUtf8(result.message)}});
        } else {
            EmitLine(ToUtf8(result.message));
        }
    }
    for (size_t i = 0; i < result.candidates.size(); ++i) {
        if (options.json) {
            EmitCandidate(i + 1, result.candidates[i]);
        } else {
            PrintCandidate(i + 1, result.candidates[i]);
        }
    }
    if (options.save == 0) return kExitOk;
    if (static_cast<size_t>(options.save) > result.candidates.size())
        return UsageError("suggest: no candidate " + std::to_string(options.save) + " to save");
    return SaveCandidate(options, result.candidates[static_cast<size_t>(options.save) - 1].form);
}

Command AddSuggestCommand(CLI::App& program) {
    auto options = std::make_shared<SuggestOptions>();
    SuggestOptions& g = *options;
    CLI::App* command =
        program.add_subcommand("suggest", "propose up to 3 plans for a list page from its address alone");
    AddText(*command, "--url", g.url, "list page address");
    command->get_option("--url")->required();
    AddEncoding(*command, g.encoding, {"auto", "gbk", "utf-8"}, "page encoding; auto detects it");
    AddText(*command, "--post", g.post, "POST body");
    AddHeaders(*command, g.headers, g.default_headers);
    AddDir(*command, g.dir);
    AddNumber<int32_t>(*command, "--save", g.save, "save candidate N as save does", 1, 3);
    AddJson(*command, g.json);
    return MakeCommand(command, options, RunSuggest);
}

}  // namespace marl::cli
