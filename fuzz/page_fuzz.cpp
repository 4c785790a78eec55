// Page decoding on arbitrary bodies: the conversion never grows the text, stops at the first
// zero, leaves ASCII alone and decodes well-formed UTF-8 as the standard says.

#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "platform/code_page.h"
#include "platform/code_page_utf8.h"
#include "text/text.h"

namespace derov::fuzz {
namespace {

// The UTF-16 form of text when it is well-formed UTF-8 (RFC 3629: shortest forms, no
// surrogates, nothing beyond U+10FFFF); false otherwise.
bool StrictUtf8ToUtf16(std::string_view text, std::u16string& out) {
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int count;
    char32_t c, minimum;
    if (lead < 0x80) count = 0, c = lead, minimum = 0;
    else if (lead >= 0xC0 && lead < 0xE0) count = 1, c = lead & 0x1F, minimum = 0x80;
    else if (lead >= 0xE0 && lead < 0xF0) count = 2, c = lead & 0x0F, minimum = 0x800;
    else if (lead >= 0xF0 && lead < 0xF8) count = 3, c = lead & 0x07, minimum = 0x10000;
    else return false;
    if (text.size() - i - 1 < static_cast<size_t>(count)) return false;
    for (int k = 1; k <= count; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = c << 6 | (next & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    if (c < 0x10000) {
      out.push_back(static_cast<char16_t>(c));
    } else {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    }
    i += static_cast<size_t>(count) + 1;
  }
  return true;
}

bool IsAscii(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace
}  // namespace derov::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace derov;
  using namespace derov::fuzz;
  const std::string_view raw(reinterpret_cast<const char*>(data), size);
  const Bytes body(data, data + size);

  const std::string converted = Utf8ToGbk(raw);
  Check(converted.size() <= raw.size(), "a character never takes more bytes in GBK than in UTF-8");
  if (IsAscii(raw)) Check(converted == raw, "ASCII passes unchanged");

  const std::string page = DecodeUtf8Page(body);
  Check(page.find('\0') == std::string::npos, "a decoded page holds no zero");
  Check(converted.compare(0, page.size(), page) == 0 &&
            (page.size() == converted.size() || converted[page.size()] == '\0'),
        "a decoded page is the conversion up to its first zero");

  std::u16string expected;
  const std::u16string units = Utf8ToUtf16(raw);
  if (StrictUtf8ToUtf16(raw, expected))
    Check(units == expected, "well-formed UTF-8 decodes as the standard says");
  else
    Check(units.find(u'\xFFFD') != std::u16string::npos, "malformed UTF-8 shows a replacement");

  Check(BodyToText(body) == raw.substr(0, raw.find('\0')), "a GBK body is its bytes up to a zero");
  return 0;
}
