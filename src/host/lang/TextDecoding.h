#pragma once

#include <string>
#include <string_view>

namespace text {

// Turns the bytes of a text file into valid UTF-8. A UTF-8 byte-order mark is dropped; a UTF-16
// byte-order mark (either order) converts the rest from UTF-16; any byte sequence that is not
// valid UTF-8 becomes U+FFFD, so whatever a file holds, the texts handed on are well-formed.
std::string DecodeToUtf8(std::string_view bytes);

}  // namespace text
