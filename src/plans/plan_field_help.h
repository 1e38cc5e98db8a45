#pragma once
#include <string_view>
#include <vector>

#include "text/text.h"

namespace marl {

// The help the plan editor writes into its status box when a field receives the focus, keyed by the
// field's control name (框_名, 框_url, ...). The first segment replaces the box's text, the others are
// appended; each goes in after a CR LF. Fields without help give no segment.
std::vector<Text> FieldHelpSegments(std::string_view control);

// The area field's help: how to write "start[*]end", with a worked example (GBK, lines joined by
// CR LF, none after the last).
Text AreaHelpText();

}  // namespace marl
