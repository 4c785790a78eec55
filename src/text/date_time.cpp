#include "text/date_time.h"

#include <cstdio>

#include "text/text.h"

namespace derov {
namespace {

constexpr size_t kShortestPicture = 3;

constexpr const char* kDayShortNames[7] = {"周日", "周一", "周二", "周三", "周四", "周五", "周六"};
constexpr const char* kDayNames[7] = {"星期日", "星期一", "星期二", "星期三",
                                      "星期四", "星期五", "星期六"};
constexpr const char* kMonthNames[12] = {"一月", "二月", "三月", "四月",   "五月",   "六月",
                                         "七月", "八月", "九月", "十月", "十一月", "十二月"};
constexpr const char* kEra = "公元";
constexpr const char* kMorning = "上午";
constexpr const char* kAfternoon = "下午";

// 0 = Sunday, for any Gregorian date (Sakamoto's method).
int DayOfWeek(int year, int month, int day) {
  static constexpr int kMonthOffset[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) year -= 1;
  return (year + year / 4 - year / 100 + year / 400 + kMonthOffset[month - 1] + day) % 7;
}

void AppendNumber(std::string& out, int value, bool twoDigits) {
  char digits[16];
  std::snprintf(digits, sizeof digits, twoDigits ? "%02d" : "%d", value);
  out += digits;
}

bool IsLeadByte(char c) { return static_cast<unsigned char>(c) >= 0x80; }

// Walks a picture: quoted text and characters that are not field letters are copied, each
// run of one field letter is handed to field(letter, runLength, out).
template <class Field>
std::string ExpandPicture(std::string_view picture, std::string_view letters, Field&& field) {
  std::string out;
  size_t i = 0;
  while (i < picture.size()) {
    const char c = picture[i];
    if (IsLeadByte(c)) {  // a two-byte character is copied whole, its second byte is no letter
      const size_t length = i + 1 < picture.size() ? 2 : 1;
      out.append(picture.substr(i, length));
      i += length;
    } else if (c == '\'') {
      for (++i; i < picture.size(); ++i) {
        if (picture[i] == '\'') {
          if (i + 1 >= picture.size() || picture[i + 1] != '\'') break;
          ++i;  // '' inside quotes is a quote
        }
        out += picture[i];
      }
      ++i;  // behind the closing quote
    } else if (letters.find(c) != std::string_view::npos) {
      size_t run = 1;
      while (i + run < picture.size() && picture[i + run] == c) ++run;
      field(c, run, out);
      i += run;
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}

std::string FormatDate(const LocalTime& value, std::string_view picture) {
  return ExpandPicture(picture, "dMyg", [&](char letter, size_t run, std::string& out) {
    switch (letter) {
      case 'd':
        if (run <= 2) {
          AppendNumber(out, value.day, run == 2);
        } else {
          const int weekday = DayOfWeek(value.year, value.month, value.day);
          out += run == 3 ? kDayShortNames[weekday] : kDayNames[weekday];
        }
        break;
      case 'M':
        if (run <= 2) {
          AppendNumber(out, value.month, run == 2);
        } else if (run == 3) {
          AppendNumber(out, value.month, false);
          out += "月";
        } else {
          out += kMonthNames[value.month - 1];
        }
        break;
      case 'y':  // one y pads as two do
        if (run <= 2)
          AppendNumber(out, value.year % 100, true);
        else
          AppendNumber(out, value.year, false);
        break;
      default:  // every g writes the era
        for (size_t k = 0; k < run; ++k) out += kEra;
        break;
    }
  });
}

std::string FormatTime(const LocalTime& value, std::string_view picture, bool force24Hour) {
  const int hour12 = value.hour % 12 == 0 ? 12 : value.hour % 12;
  return ExpandPicture(picture, "hHmst", [&](char letter, size_t run, std::string& out) {
    switch (letter) {
      case 'h':
        AppendNumber(out, force24Hour ? value.hour : hour12, run >= 2);
        break;
      case 'H':
        AppendNumber(out, value.hour, run >= 2);
        break;
      case 'm':
        AppendNumber(out, value.minute, run >= 2);
        break;
      case 's':
        AppendNumber(out, value.second, run >= 2);
        break;
      default: {  // the marker stays even on a 24-hour clock
        const std::string_view marker = value.hour < 12 ? kMorning : kAfternoon;
        out.append(run == 1 ? marker.substr(0, 2) : marker);  // t: its first character
        break;
      }
    }
  });
}

}  // namespace

std::string FormatDateTime(const LocalTime& value, std::string_view datePicture,
                           std::string_view timePicture, bool force24Hour) {
  if (!value.IsValid()) return {};
  std::string text;
  if (datePicture.size() >= kShortestPicture) text = FormatDate(value, datePicture);
  text += ' ';
  if (timePicture.size() >= kShortestPicture) text += FormatTime(value, timePicture, force24Hour);
  return TrimSpaces(text);
}

}  // namespace derov
