#pragma once
#include <cstdint>
#include <string>

// The update timer's period in seconds from the text stored under "Elasp":
// 20 for an empty text; otherwise a base-10 integer read the way strtol reads
// it (leading white space skipped, an optional sign, digits as far as they
// go, anything after them ignored). Raises std::invalid_argument when the text
// does not start with a number and std::out_of_range outside 32-bit signed.
int CheckIntervalSeconds(const std::string& text);

// The timer's period in milliseconds: seconds × 1000 as the 32-bit product
// the platform takes. A period under one second ("0", or a product that
// wraps below 1000) would run the checks back to back, so it becomes the
// default 20 s.
std::uint32_t CheckPeriodMilliseconds(int seconds);
