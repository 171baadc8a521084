#pragma once

#include <string>

namespace desktop {

// This executable's canonical path (links and ".." resolved), empty when it cannot be found.
std::string CurrentExecutable();

}  // namespace desktop
