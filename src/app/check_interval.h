#pragma once
#include <string>

// The update timer's period in seconds from the text stored under "Elasp":
// 20 for an empty text; otherwise a base-10 integer read the way strtol reads
// it (leading white space skipped, an optional sign, digits as far as they
// go, anything after them ignored). Raises std::invalid_argument when the text
// does not start with a number and std::out_of_range outside 32-bit signed.
int CheckIntervalSeconds(const std::string& text);
