#include <memory>
#include <string>

#include "app/cli/cli_commands.h"
#include "app/cli/cli_common.h"
#include "app/cli/cli_options.h"
#include "plans/plan_suggester.h"

namespace marl::cli {
namespace {

const char* EncodingValue(int code_index) { return code_index == kEncodingGbk ? "gbk" : "utf-8"; }

void EmitCandidate(size_t rank, const PlanSuggestion& plan) {
    const PlanForm& f = plan.form;
    nlohmann::ordered_json preview = nlohmann::ordered_json::array();
    for (const SuggestPreviewItem& item : plan.preview)
        preview.push_back({{"title", ToUtf8(item.title)}, {"url", ToUtf8(item.url)}});
    EmitJson({{"event", "candidate"},
              {"rank", rank},
              {"name", ToUtf8(f.name)},
              {"encoding", EncodingValue(f.code_index)},
              {"area", ToUtf8(f.part)},
              {"must", ToUtf8(f.inck)},
              {"may", ToUtf8(f.inc1)},
              {"not", ToUtf8(f.inc0)},
              {"prefix", ToUtf8(f.dom)},
              {"row_key", ToUtf8(f.url_key)},
              {"row_value", f.url_key_i == -1 ? -1 : 1},
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
    text += std::string("  --encoding ") + EncodingValue(f.code_index) + "\n";
    field("--area", f.part);
    field("--must", f.inck);
    field("--may", f.inc1);
    field("--not", f.inc0);
    field("--prefix", f.dom);
    field("--row-key", f.url_key);
    if (!f.url_key.empty()) text += "  --row-value " + std::to_string(f.url_key_i) + "\n";
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
    save.encoding = EncodingValue(form.code_index);
    save.values.name = form.name;
    save.values.url = form.url;
    save.values.part = form.part;
    save.values.inck = form.inck;
    save.values.inc1 = form.inc1;
    save.values.inc0 = form.inc0;
    save.values.dom = form.dom;
    save.values.post = options.post;
    save.values.url_key = form.url_key;
    save.headers = options.headers;
    save.default_headers = options.default_headers;
    save.row_value = form.url_key_i == -1 ? -1 : 1;
    save.json = options.json;
    return RunSave(save);
}

}  // namespace

// Proposes plans for the page at --url; nothing is stored unless --save names a candidate.
int RunSuggest(const SuggestOptions& options) {
    SuggestInput input;
    input.url = options.url;
    input.code_index = options.encoding == "gbk"     ? kEncodingGbk
                       : options.encoding == "utf-8" ? kEncodingUtf8
                                                     : kEncodingAuto;
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
