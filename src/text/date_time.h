#pragma once
// Dates and times written by pictures, as the system's date and time formatting writes them
// for the Chinese (code page 936) locale the program runs under.

#include <string>
#include <string_view>

#include "platform/clock.h"

namespace derov {

// The date by datePicture, one space, the time by timePicture, with ASCII and full-width
// spaces trimmed from both ends. A picture shorter than 3 bytes leaves its part out; an
// invalid value gives "".
//
// Date letters: d dd (day), ddd dddd (day name), M MM (month), MMM MMMM (month name), y yy
// (two-digit year), yyy and longer (full year), g (era). Time letters: h hh (12-hour clock, or
// 24-hour when force24Hour), H HH (24-hour clock), m mm, s ss, t (上/下) and tt (上午/下午).
// A doubled letter pads to two digits, longer runs act as the doubled one. Text in single
// quotes is copied ('' inside quotes is a quote); every other character is copied.
std::string FormatDateTime(const LocalTime& value, std::string_view datePicture,
                           std::string_view timePicture = {}, bool force24Hour = false);

}  // namespace derov
