// Header text on arbitrary bytes: normalising keeps exactly the pieces with a colon and changes
// nothing in them but the capitals of the name; a header line splits into trimmed name and
// value; Base64 decodes back to its bytes.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "text/text.h"
#include "web/header_text.h"

namespace derov::fuzz {
namespace {

constexpr std::string_view kLineBreak = "\r\n";

bool IsSmall(char c) { return c >= 'a' && c <= 'z'; }

void CheckNormalised(std::string_view text) {
  const std::string normalised = NormaliseHeaderText(text);
  Check(NormaliseHeaderText(normalised) == normalised, "normalising twice changes nothing more");

  size_t at = 0;  // walks the normalised text piece by piece
  bool first = true;
  for (const std::string& piece : SplitText(text, kLineBreak)) {
    const size_t colon = piece.find(':');
    if (colon == std::string::npos) continue;
    if (!first) {
      Check(normalised.compare(at, kLineBreak.size(), kLineBreak) == 0,
            "kept pieces are joined by CR LF");
      at += kLineBreak.size();
    }
    first = false;
    Check(normalised.size() - at >= piece.size(), "every piece with a colon is kept");
    for (size_t i = 0; i < piece.size(); ++i) {
      const bool capitalised = i < colon && (i == 0 || piece[i - 1] == '-') && IsSmall(piece[i]);
      const char expected = capitalised ? static_cast<char>(piece[i] - 'a' + 'A') : piece[i];
      Check(normalised[at + i] == expected,
            "only a name's first letter and the letters behind '-' become capitals");
    }
    at += piece.size();
  }
  Check(at == normalised.size(), "nothing but the pieces with a colon is kept");
}

bool IsTrimmed(const std::string& text) { return TrimSpaces(text) == text; }

void CheckHeaderLine(std::string_view line) {
  const std::string name = HeaderName(line), value = HeaderValue(line);
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos)
    return Check(name.empty() && value.empty(), "a line without a colon has no name or value");
  const std::string_view before = line.substr(0, colon), after = line.substr(colon + 1);
  Check(IsTrimmed(name) && IsTrimmed(value), "name and value are trimmed");
  Check(name.find(':') == std::string::npos, "the name ends at the first colon");
  Check(before.find(name) != std::string_view::npos && after.find(value) != std::string_view::npos,
        "name and value are the parts around the colon");
  Check(RemoveSpaces(before) == RemoveSpaces(name) && RemoveSpaces(after) == RemoveSpaces(value),
        "only spaces are trimmed off name and value");
}

void CheckTextBefore(std::string_view text, std::string_view separator) {
  const std::string head = TextBefore(text, separator);
  const int found = FindText(text, separator);
  if (head.empty()) return Check(found == -1 || found == 1, "TextBefore is empty only without a head");
  Check(text.substr(0, head.size()) == head && text.substr(head.size(), separator.size()) == separator,
        "TextBefore is the text up to a separator");
  Check(found == static_cast<int>(head.size()) + 1, "and up to the first one");
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// A strict RFC 4648 decoder: four characters per group, "=" only at the end.
bool DecodeBase64(std::string_view text, std::string& out) {
  if (text.size() % 4 != 0) return false;
  for (size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    const int padding = last ? (text[i + 3] == '=') + (text[i + 2] == '=' && text[i + 3] == '=') : 0;
    unsigned group = 0;
    for (int k = 0; k < 4; ++k) {
      const int v = k >= 4 - padding ? 0 : Base64Value(text[i + k]);
      if (v < 0) return false;
      group = group << 6 | static_cast<unsigned>(v);
    }
    out.push_back(static_cast<char>(group >> 16));
    if (padding < 2) out.push_back(static_cast<char>(group >> 8 & 0xFF));
    if (padding < 1) out.push_back(static_cast<char>(group & 0xFF));
  }
  return true;
}

void CheckBase64(std::string_view bytes) {
  const std::string encoded = Base64Encode(bytes);
  Check(encoded.size() == (bytes.size() + 2) / 3 * 4, "four characters per started group of three");
  std::string decoded;
  Check(DecodeBase64(encoded, decoded) && decoded == bytes, "Base64 decodes back to the bytes");
  const Bytes asBytes(bytes.begin(), bytes.end());
  Check(Base64Encode(asBytes) == encoded, "bytes and text encode alike");
}

}  // namespace
}  // namespace derov::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace derov::fuzz;
  FuzzedDataProvider input(data, size);
  const std::string separator = input.ConsumeRandomLengthString(8);
  const std::string text = input.ConsumeRemainingBytesAsString();
  CheckNormalised(text);
  CheckHeaderLine(text);
  CheckTextBefore(text, separator);
  CheckBase64(text);
  return 0;
}
