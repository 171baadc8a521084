#pragma once

#include <string_view>

namespace fuzzcheck {

// Reads the bytes as an input movie, once as they are, once framed with a movie's start and a
// correct checksum (so that the checks behind the checksum are reached), and once as patches to
// a real movie of a running machine. A movie that is read must write back to bytes that read to
// the same movie, and play into the machine without harm: a start the machine refuses leaves it
// exactly as it was. The rule broken, or nullptr.
const char* CheckMovie(std::string_view bytes);

}  // namespace fuzzcheck
