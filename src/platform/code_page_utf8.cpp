#include "platform/code_page_utf8.h"

namespace derov {
namespace {

// Continuation bytes announced by a lead byte; 0 for bytes that cannot start a sequence
// (continuation bytes, the overlong leads C0 and C1, and F5..FF).
int ContinuationCount(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 1;
  if (lead >= 0xE0 && lead <= 0xEF) return 2;
  if (lead >= 0xF0 && lead <= 0xF4) return 3;
  return 0;
}

// The six payload bits of a continuation byte, or a value of 0x40 or more when it is none.
unsigned Payload(char c) { return static_cast<unsigned char>(c) ^ 0x80u; }

}  // namespace

char32_t NextUtf8Char(std::string_view text, size_t& at) {
  const auto lead = static_cast<unsigned char>(text[at++]);
  if (lead < 0x80) return lead;
  const int count = ContinuationCount(lead);
  if (count == 0) return kReplacementChar;
  if (text.size() - at < static_cast<size_t>(count)) {
    at = text.size();  // a sequence the text is too short for swallows what is left
    return kReplacementChar;
  }
  static constexpr unsigned kLeadMask[4] = {0x7F, 0x1F, 0x0F, 0x07};
  unsigned value = lead & kLeadMask[count];
  // The checks run in the order of the system's decoder: each one that fails ends the
  // sequence, and whether the byte just looked at is used up depends on which one failed.
  if (count == 3) {
    const unsigned bits = Payload(text[at]);
    if (bits >= 0x40) return kReplacementChar;
    value = value << 6 | bits;
    ++at;
    if (value < 0x10) return kReplacementChar;  // overlong: below U+10000
  }
  if (count >= 2) {
    const unsigned bits = Payload(text[at]);
    if (bits >= 0x40) return kReplacementChar;
    value = value << 6 | bits;
    if (value >= (0x110000 >> 6)) return kReplacementChar;  // beyond U+10FFFF
    ++at;
    if (value < 0x20) return kReplacementChar;  // overlong: below U+0800
    if (value >= (0xD800 >> 6) && value <= (0xDFFF >> 6)) return kReplacementChar;  // surrogate
  }
  const unsigned bits = Payload(text[at]);
  if (bits >= 0x40) return kReplacementChar;
  value = value << 6 | bits;
  ++at;
  return value;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string units;
  units.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const char32_t c = NextUtf8Char(text, at);
    if (c < 0x10000) {
      units.push_back(static_cast<char16_t>(c));
    } else {
      units.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    }
  }
  return units;
}

}  // namespace derov
