#include "host/desktop/CurrentExecutable.h"

#include <filesystem>
#include <system_error>

namespace desktop {

std::string CurrentExecutable() {
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::canonical("/proc/self/exe", ec);
    return ec ? std::string() : path.string();
}

}  // namespace desktop
