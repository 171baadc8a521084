#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a second start of the program tells the first one, as bytes on a local socket. The
// second start comes to the front only (no argument), hands over a file to open, or, with an
// empty argument, asks the first to open again the file handed over last.
namespace instance {

// The local server's name for one executable: every start of the same program (the same
// canonical path and configuration file, for the same user) finds the same name; another copy
// of the program, or the same one started on another configuration, is an emulator of its own.
std::string ServerName(const std::string& canonicalExecutable, const std::string& configPath,
                       uint32_t userId);

struct Request {
    enum class Kind { Front, Open, OpenLast } kind = Kind::Front;
    std::string path;  // Open: the file
};

// The request for a start's first argument (none: come to the front). A relative path is
// made absolute from the second start's working folder, which the first does not share.
Request RequestFor(const std::optional<std::string>& argument, const std::string& workingFolder);

std::string Encode(const Request& request);

// The receiving side of one connection: bytes in as they arrive, whole requests out. OpenLast
// comes out as Open of the path handed over last on any connection (`lastPath`, which the
// receiver keeps), or as Front when there was none. Garbage ends the connection's requests.
class Decoder {
  public:
    explicit Decoder(std::string& lastPath) : lastPath_(lastPath) {}
    std::vector<Request> Feed(std::string_view bytes);
    bool Failed() const { return failed_; }

  private:
    std::string buffer_;
    std::string& lastPath_;
    bool failed_ = false;
};

}  // namespace instance
