// Number reading on arbitrary bytes: full-width folding, then the longest decimal prefix, read
// here by the standard library's decimal parser as an independent reference.

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "text/text.h"

namespace derov::fuzz {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The folded text behind its leading white space, its sign taken off.
struct SignedRest {
  bool negative = false;
  std::string_view rest;
};

SignedRest SplitSign(std::string_view folded) {
  size_t i = 0;
  while (i < folded.size() && IsWhiteSpace(folded[i])) ++i;
  SignedRest out;
  if (i < folded.size() && (folded[i] == '+' || folded[i] == '-')) out.negative = folded[i++] == '-';
  out.rest = folded.substr(i);
  return out;
}

double ReferenceNumber(std::string_view folded) {
  const SignedRest split = SplitSign(folded);
  const std::string_view rest = split.rest;
  // from_chars would also take "inf", "nan" and a second sign; a number starts with a digit
  // or a point.
  if (rest.empty() || !(IsDigit(rest[0]) || rest[0] == '.')) return 0;
  double value = 0;
  const auto [end, error] =
      std::from_chars(rest.data(), rest.data() + rest.size(), value, std::chars_format::general);
  if (error == std::errc::invalid_argument) return 0;
  if (error == std::errc::result_out_of_range)  // from_chars leaves the value; strtod saturates
    value = std::strtod(std::string(rest.data(), end).c_str(), nullptr);
  return split.negative ? -value : value;
}

int ReferenceInteger(std::string_view folded) {
  const SignedRest split = SplitSign(folded);
  size_t digitsEnd = 0;
  while (digitsEnd < split.rest.size() && IsDigit(split.rest[digitsEnd])) ++digitsEnd;
  std::string_view digits = split.rest.substr(0, digitsEnd);
  while (!digits.empty() && digits[0] == '0') digits.remove_prefix(1);
  if (digits.size() > 10) return split.negative ? INT_MIN : INT_MAX;
  long long value = 0;
  for (const char c : digits) value = value * 10 + (c - '0');
  if (split.negative) value = -value;
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// Characters of text that are full-width forms of printable ASCII (A3 A1..A3 FE) or the
// full-width space (A1 A1).
size_t CountFullWidth(std::string_view text) {
  size_t count = 0;
  for (size_t i = 0; i + 1 < text.size(); i += IsLead(text[i]) ? 2 : 1) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const auto trail = static_cast<unsigned char>(text[i + 1]);
    if ((lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) || (lead == 0xA1 && trail == 0xA1))
      ++count;
  }
  return count;
}

bool SameDouble(double a, double b) {
  return a == b || (std::isnan(a) && std::isnan(b));
}

}  // namespace
}  // namespace derov::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace derov;
  using namespace derov::fuzz;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string folded = FoldFullWidth(text);
  const size_t fullWidth = CountFullWidth(text);
  Check(folded.size() + fullWidth == text.size(), "each full-width form becomes one byte");
  Check(CountFullWidth(folded) == 0, "no full-width form is left");
  Check(fullWidth > 0 || folded == text, "a text without full-width forms stays as it is");
  Check(SameDouble(ReadNumber(text), ReferenceNumber(folded)),
        "ReadNumber reads the longest decimal prefix of the folded text");
  Check(ReadInteger(text) == ReferenceInteger(folded),
        "ReadInteger reads sign and digits of the folded text, saturated");
  Check(ReadNumber(folded) == ReadNumber(text) && ReadInteger(folded) == ReadInteger(text),
        "reading folds first");
  return 0;
}
