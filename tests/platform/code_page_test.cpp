#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace derov {
namespace {

std::string EncodeUtf8(char32_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | c >> 6);
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xE0 | c >> 12);
    s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
  return s;
}

uint64_t Fingerprint(std::string_view bytes) {  // FNV-1a
  uint64_t hash = 0xCBF29CE484222325u;
  for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3u;
  return hash;
}

// Every BMP character, converted 4096 at a time, against fingerprints of what the system's
// conversion gives under the program's Wine prefix. Under Wine this test checks the
// fingerprints against the system itself; natively it checks the stand-in's whole table
// (assigned cells, private use cells and best-fit characters) against them.
TEST(Utf8ToGbk, GivesTheSystemsTextForEveryBmpCharacter) {
  constexpr uint64_t kExpected[16] = {
      0x7EDFD2B1FFF52D07u, 0x96D7B490F997F325u, 0x600066CF9CDDA4B5u, 0xF1CF3CF11F536AC4u,
      0xAF053F03317BD1D7u, 0x42ADC42518E28C3Eu, 0x27C5A9401A719562u, 0x81991C42DA9A8119u,
      0xE5552DBBB0F33635u, 0xD07263034AA66A6Du, 0x96D7B490F997F325u, 0x96D7B490F997F325u,
      0x96D7B490F997F325u, 0x460C0F85705D0B25u, 0xB3FBE9163C3CC00Cu, 0xA8CD248AE013B1A4u,
  };
  for (char32_t block = 0; block < 16; ++block) {
    std::string utf8;
    for (char32_t c = block << 12; c < (block + 1) << 12; ++c)
      if (c != 0 && (c < 0xD800 || c > 0xDFFF)) utf8 += EncodeUtf8(c);
    const std::string gbk = Utf8ToGbk(utf8);
    EXPECT_EQ(Fingerprint(gbk), kExpected[block])
        << std::hex << "U+" << (block << 12) << "..U+" << ((block + 1) << 12) - 1;
  }
}

}  // namespace
}  // namespace derov
