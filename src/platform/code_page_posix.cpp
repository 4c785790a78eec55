// The native stand-in for the system's code page conversion: UTF-8 is decoded as the system
// decodes it, and each character is looked up in a table of code page 936 as Windows has it.
// glibc's iconv knows the code page's assigned characters; the rest of the Windows table (the
// user-defined cells mapped to the private use area, and the best-fit characters that have no
// cell of their own) is added here, so that the native build shows the same texts.

#include <iconv.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "platform/code_page.h"
#include "platform/code_page_936_best_fit.h"
#include "platform/code_page_utf8.h"

namespace derov {
namespace {

// For each BMP character its bytes in code page 936: a value below 0x100 is one byte, a larger
// one a lead byte (high) and a trail byte (low); 0 means the code page cannot show it.
using Cp936Table = std::array<uint16_t, 0x10000>;

constexpr int kLeadFirst = 0x81, kLeadLast = 0xFE;
constexpr int kTrailFirst = 0x40, kTrailLast = 0xFE, kTrailGap = 0x7F;
constexpr char32_t kPrivateUseFirst = 0xE000;
constexpr char32_t kUnmapped = 0xFFFFFFFF;

class Iconv {
 public:
  Iconv() : cd_(iconv_open("UTF-32LE", "CP936")) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // The one character the bytes stand for, or kUnmapped.
  char32_t Decode(const char* bytes, size_t size) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char in[2];
    std::memcpy(in, bytes, size);
    char out[8];
    char* inPtr = in;
    char* outPtr = out;
    size_t inLeft = size, outLeft = sizeof out;
    if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0 ||
        outPtr - out != 4)
      return kUnmapped;
    uint32_t c;
    std::memcpy(&c, out, sizeof c);  // UTF-32LE on a little-endian machine
    return c;
  }

 private:
  iconv_t cd_;
};

bool IsUserDefinedCell(int lead, int trail) {
  if (lead >= 0xAA && lead <= 0xAF && trail >= 0xA1) return true;
  if (lead >= 0xF8 && lead <= 0xFE && trail >= 0xA1) return true;
  return lead >= 0xA1 && lead <= 0xA7 && trail <= 0xA0;
}

template <class Visit>
void ForEachCell(Visit&& visit) {
  for (int lead = kLeadFirst; lead <= kLeadLast; ++lead)
    for (int trail = kTrailFirst; trail <= kTrailLast; ++trail)
      if (trail != kTrailGap) visit(lead, trail);
}

// Windows gives the private use area, in order, first to the three user-defined blocks
// (AAA1-AFFE, F8A1-FEFE, A140-A7A0) and then to every other cell without a character.
void AddPrivateUse(Cp936Table& table, const std::array<bool, 0x10000>& assigned) {
  char32_t next = kPrivateUseFirst;
  auto give = [&](int lead, int trail) {
    table[next++] = static_cast<uint16_t>(lead << 8 | trail);
  };
  const int blocks[3][2] = {{0xAA, 0xAF}, {0xF8, 0xFE}, {0xA1, 0xA7}};
  for (const auto& block : blocks)
    for (int lead = block[0]; lead <= block[1]; ++lead)
      ForEachCell([&](int cellLead, int trail) {
        if (cellLead == lead && IsUserDefinedCell(lead, trail)) give(lead, trail);
      });
  ForEachCell([&](int lead, int trail) {
    if (!IsUserDefinedCell(lead, trail) && !assigned[lead << 8 | trail]) give(lead, trail);
  });
}

Cp936Table BuildTable() {
  Cp936Table table{};
  for (int c = 1; c < 0x80; ++c) table[c] = static_cast<uint16_t>(c);
  Iconv cp936;
  if (!cp936.ok()) return table;  // without iconv only ASCII survives; the rest shows as "?"
  const char euro = '\x80';
  if (const char32_t c = cp936.Decode(&euro, 1); c < 0x10000) table[c] = 0x80;
  std::array<bool, 0x10000> assigned{};
  ForEachCell([&](int lead, int trail) {
    const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    const char32_t c = cp936.Decode(bytes, 2);
    if (c == kUnmapped || c >= 0x10000) return;
    assigned[lead << 8 | trail] = true;
    if (table[c] == 0) table[c] = static_cast<uint16_t>(lead << 8 | trail);
  });
  AddPrivateUse(table, assigned);
  table[0xF8F5] = 0xFF;  // the byte FF, which Windows keeps as a private use character
  for (const auto& fit : kCp936BestFit)
    if (table[fit.unicode] == 0) table[fit.unicode] = fit.gbk;
  return table;
}

const Cp936Table& Table() {
  static const Cp936Table table = BuildTable();
  return table;
}

// Appends c in code page 936, "?" for what it cannot show. A character beyond the BMP is two
// UTF-16 units to the system, and each of them becomes a "?".
char* AppendGbk(const Cp936Table& table, char32_t c, char* out) {
  if (c >= 0x10000) {
    *out++ = '?';
    *out++ = '?';
    return out;
  }
  const uint16_t code = table[c];
  if (code == 0) {
    *out++ = c == 0 ? '\0' : '?';
  } else if (code < 0x100) {
    *out++ = static_cast<char>(code);
  } else {
    *out++ = static_cast<char>(code >> 8);
    *out++ = static_cast<char>(code & 0xFF);
  }
  return out;
}

}  // namespace

std::string Utf8ToGbk(std::string_view utf8) {
  const Cp936Table& table = Table();
  // Every character comes out no longer than it went in (at most two bytes for at least two).
  std::string gbk(utf8.size(), '\0');
  char* out = gbk.data();
  for (size_t at = 0; at < utf8.size();) {
    if (static_cast<unsigned char>(utf8[at]) < 0x80) {  // ASCII runs are copied as they are
      const size_t from = at;
      while (at < utf8.size() && static_cast<unsigned char>(utf8[at]) < 0x80) ++at;
      std::memcpy(out, utf8.data() + from, at - from);
      out += at - from;
      continue;
    }
    out = AppendGbk(table, NextUtf8Char(utf8, at), out);
  }
  gbk.resize(static_cast<size_t>(out - gbk.data()));
  return gbk;
}

}  // namespace derov
