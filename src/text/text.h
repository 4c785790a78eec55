#pragma once
// The GBK text primitives every subsystem shares. A text is a std::string of code page 936
// bytes; lengths count bytes, positions are 1-based, -1 means "not found", and a byte of
// 0x80 or above starts a two-byte character.

#include <string>
#include <string_view>
#include <vector>

namespace derov {

// Raw bytes as they cross the wire (a page body, a POST body).
using Bytes = std::vector<unsigned char>;

// First match of needle at or after the 1-based start (0 counts as 1). A match never starts
// on the second byte of a two-byte character (characters counted from start); ignoreCase
// folds A-Z/a-z only, and the second byte of a character is no letter. An empty needle is
// found at 1 whenever a byte remains at or after start.
int FindText(std::string_view text, std::string_view needle, int start = 1,
             bool ignoreCase = false);

// Every occurrence replaced, scanning from the left as FindText does and resuming behind each
// replacement, so replacements never overlap and are never searched again.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to,
                       bool ignoreCase = false);

// Pieces between separators: an empty piece before a leading separator or between two
// adjacent ones counts, an empty remainder after the last one does not, "" gives none.
std::vector<std::string> SplitText(std::string_view text, std::string_view separator);

// The ASCII space and the full-width space (A1 A1) are spaces; tabs and line breaks are not.
std::string TrimSpaces(std::string_view text);
std::string RemoveSpaces(std::string_view text);

// By byte count: "" for a count of 0 or less, the whole text for a count beyond its length.
std::string LeftBytes(std::string_view text, int count);
std::string RightBytes(std::string_view text, int count);

// Two-byte forms of printable ASCII (A3 A1..A3 FE) and the full-width space become ASCII.
std::string FoldFullWidth(std::string_view text);

// Full-width folded, leading white space skipped, then the longest decimal prefix (sign,
// digits, point, exponent); 0 when there is none.
double ReadNumber(std::string_view text);
// Same, sign and digits only; saturates to the 32-bit range.
int ReadInteger(std::string_view text);
// A boolean stored as text is true only when it is exactly "1".
bool ReadBoolean(std::string_view text);

// The text strictly between the first `before` (searched from start) and the first `after`
// behind it; "" when either is missing. "#引号" in a marker stands for a double quote.
std::string TextBetween(std::string_view text, std::string_view before, std::string_view after,
                        int start = 1, bool ignoreCase = false);

// Non-overlapping occurrences of keyword; 0 when either text is empty.
int CountOccurrences(std::string_view text, std::string_view keyword, bool caseSensitive);

// A UTF-8 page body to text: converted as the system converts it (U+FFFD for a bad sequence,
// then "?" for what code page 936 cannot show), ending at the first zero byte.
std::string DecodeUtf8Page(const Bytes& body);

// Page body to text: the bytes up to the first zero byte, unchanged (the page is GBK).
std::string BodyToText(const Bytes& body);

}  // namespace derov
