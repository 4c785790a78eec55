#pragma once
// Small text operations that prepare a request's header text and proxy credentials. All are
// pure: no state, safe on any thread.

#include <string>
#include <string_view>

#include "text/text.h"

namespace derov {

// Lines split at CR LF; lines without a colon dropped; in each name the first character and
// every character after a "-" made a capital; rejoined with CR LF, none leading or trailing.
std::string NormaliseHeaderText(std::string_view text);

// The first byte made a capital when it is an ASCII small letter; everything else unchanged.
std::string CapitaliseFirst(std::string_view text);

// The trimmed text before / after the first ":" of a header line; "" without a colon.
std::string HeaderName(std::string_view line);
std::string HeaderValue(std::string_view line);

// The text before the first separator (with case); "" when it is missing or stands first.
std::string TextBefore(std::string_view text, std::string_view separator);

// RFC 4648 Base64, standard alphabet, "=" padding, no line breaks.
std::string Base64Encode(std::string_view bytes);
inline std::string Base64Encode(const Bytes& bytes) {
  return Base64Encode(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace derov
