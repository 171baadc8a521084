#include "frontend/InstanceMessages.h"

#include <cstdio>

namespace instance {

namespace {

constexpr std::string_view kMagic = "TEVRIN1 ";
// A path longer than this is not a path a file manager hands over.
constexpr std::size_t kMaxPath = 64 * 1024;

char KindLetter(Request::Kind kind) {
    switch (kind) {
        case Request::Kind::Open: return 'O';
        case Request::Kind::OpenLast: return 'L';
        default: return 'F';
    }
}

}  // namespace

std::string ServerName(const std::string& canonicalExecutable, const std::string& configPath,
                       uint32_t userId) {
    // FNV-1a: socket names are short, paths are not.
    uint64_t hash = 0xCBF29CE484222325ULL;
    for (unsigned char c : canonicalExecutable + '\n' + configPath) {
        hash ^= c;
        hash *= 0x100000001B3ULL;
    }
    char name[64];
    std::snprintf(name, sizeof name, "tevrinemu-%u-%016llx", userId,
                  static_cast<unsigned long long>(hash));
    return name;
}

Request RequestFor(const std::optional<std::string>& argument, const std::string& workingFolder) {
    Request request;
    if (!argument) return request;
    if (argument->empty()) {
        request.kind = Request::Kind::OpenLast;
        return request;
    }
    request.kind = Request::Kind::Open;
    request.path = *argument;
    if (request.path[0] != '/' && !workingFolder.empty()) {
        request.path = workingFolder + (workingFolder.back() == '/' ? "" : "/") + request.path;
    }
    return request;
}

std::string Encode(const Request& request) {
    std::string bytes(kMagic);
    bytes += KindLetter(request.kind);
    bytes += ' ';
    bytes += std::to_string(request.path.size());
    bytes += '\n';
    bytes += request.path;
    return bytes;
}

std::vector<Request> Decoder::Feed(std::string_view bytes) {
    std::vector<Request> requests;
    if (failed_) return requests;
    buffer_.append(bytes);
    for (;;) {
        const std::size_t end = buffer_.find('\n');
        if (end == std::string::npos) {
            if (buffer_.size() > 32) failed_ = true;  // no header is that long
            break;
        }
        const std::string header = buffer_.substr(0, end);
        if (header.size() < kMagic.size() + 3 || header.compare(0, kMagic.size(), kMagic) != 0 ||
            header[kMagic.size() + 1] != ' ') {
            failed_ = true;
            break;
        }
        const char kind = header[kMagic.size()];
        const std::string digits = header.substr(kMagic.size() + 2);
        if (digits.empty() || digits.size() > 6 ||
            digits.find_first_not_of("0123456789") != std::string::npos) {
            failed_ = true;
            break;
        }
        const std::size_t length = std::stoul(digits);
        if (length > kMaxPath || (kind != 'O' && length != 0) ||
            (kind != 'O' && kind != 'L' && kind != 'F')) {
            failed_ = true;
            break;
        }
        if (buffer_.size() < end + 1 + length) break;
        Request request;
        if (kind == 'O') {
            request.kind = Request::Kind::Open;
            request.path = buffer_.substr(end + 1, length);
            lastPath_ = request.path;
        } else if (kind == 'L') {
            request.kind = Request::Kind::Open;
            request.path = lastPath_;
        }
        buffer_.erase(0, end + 1 + length);
        // Opening nothing again is coming to the front.
        if (request.kind == Request::Kind::Open && request.path.empty()) {
            request.kind = Request::Kind::Front;
        }
        requests.push_back(std::move(request));
    }
    if (failed_) buffer_.clear();
    return requests;
}

}  // namespace instance
