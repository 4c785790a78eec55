#include "web/header_text.h"

namespace derov {
namespace {

constexpr std::string_view kLineBreak = "\r\n";

// Neither ":" nor "-" can be the second byte of a GBK character, so both are found bytewise.
std::string CapitaliseName(std::string_view name) {
  std::string out = CapitaliseFirst(name);
  for (size_t i = 1; i < out.size(); ++i)
    if (out[i - 1] == '-' && out[i] >= 'a' && out[i] <= 'z') out[i] = static_cast<char>(out[i] - 'a' + 'A');
  return out;
}

}  // namespace

std::string CapitaliseFirst(std::string_view text) {
  std::string out(text);
  if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 'a' + 'A');
  return out;
}

std::string NormaliseHeaderText(std::string_view text) {
  std::string out;
  for (const std::string& piece : SplitText(text, kLineBreak)) {
    const size_t colon = piece.find(':');
    if (colon == std::string::npos) continue;
    if (!out.empty()) out.append(kLineBreak);  // a kept piece is never empty: it has a colon
    out.append(CapitaliseName(std::string_view(piece).substr(0, colon)));
    out.append(piece, colon, std::string::npos);
  }
  return out;
}

std::string HeaderName(std::string_view line) {
  const size_t colon = line.find(':');
  return colon == std::string_view::npos ? std::string() : TrimSpaces(line.substr(0, colon));
}

std::string HeaderValue(std::string_view line) {
  const size_t colon = line.find(':');
  return colon == std::string_view::npos ? std::string() : TrimSpaces(line.substr(colon + 1));
}

std::string TextBefore(std::string_view text, std::string_view separator) {
  const int at = FindText(text, separator);
  return at > 1 ? std::string(text.substr(0, static_cast<size_t>(at) - 1)) : std::string();
}

std::string Base64Encode(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t left = bytes.size() - i;
    unsigned group = static_cast<unsigned char>(bytes[i]) << 16;
    if (left > 1) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (left > 2) group |= static_cast<unsigned char>(bytes[i + 2]);
    out.push_back(kAlphabet[(group >> 18) & 63]);
    out.push_back(kAlphabet[(group >> 12) & 63]);
    out.push_back(left > 1 ? kAlphabet[(group >> 6) & 63] : '=');
    out.push_back(left > 2 ? kAlphabet[group & 63] : '=');
  }
  return out;
}

}  // namespace derov
