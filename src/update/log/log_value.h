#pragma once
// Values that come from outside (the version document, LocalConfig.json) as
// they go into the activity log: a control character inside one could start
// a line that reads as the program's own, so each is written as a visible
// escape. Values without control characters come out unchanged.
#include <string>
#include <string_view>

// "\r", "\n" and "\t" for those, "\xNN" for the other C0 controls and DEL,
// "\u00NN" for the C1 controls (U+0080 to U+009F, two bytes in UTF-8).
std::string LogValue(std::string_view value);
