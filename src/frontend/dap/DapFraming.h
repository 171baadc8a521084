#pragma once

#include <cstddef>
#include <optional>
#include <string>

// The debug adapter's wire: each message is a header block of "Name: value" lines ending in
// CR LF, an empty line, then exactly Content-Length bytes of JSON. Both the adapter (reading an
// editor it does not control) and the test client use this.
namespace dap {

// Splits a byte stream into message bodies. The stream comes from outside: nothing in a header
// is trusted until checked, and no header makes it hold more than kMaxBody for one body.
class FrameParser {
  public:
    static constexpr size_t kMaxBody = 16 * 1024 * 1024;
    static constexpr size_t kMaxHeader = 8 * 1024;

    void Feed(const char* data, size_t size);
    // The next whole body, if one is there.
    std::optional<std::string> Take();
    // A header that cannot be read (no Content-Length, a non-number, over kMaxBody, a header
    // block over kMaxHeader, a line not ended by CR LF): with no length to trust there is no
    // telling where the next message starts, so the stream is given up. Error() says why.
    bool Broken() const { return broken_; }
    const std::string& Error() const { return error_; }

  private:
    // Reads the header at the front once it is whole; false when the stream broke on it.
    bool ReadHeader();
    void Break(std::string reason);

    std::string buffer_;
    size_t start_ = 0;                  // first byte not yet handed out
    std::optional<size_t> bodySize_;    // set while the header is read and its body awaited
    size_t lineAt_ = 0;                 // the header line to read next, from start_
    size_t searchedTo_ = 0;             // from start_: no line end before this
    std::optional<size_t> lengthSeen_;  // the header's Content-Length so far
    bool broken_ = false;
    std::string error_;
};

// "Content-Length: N\r\n\r\n" + body.
std::string Frame(const std::string& body);

// Blocking helpers over a file descriptor. ReadMessage reads until a body is whole: false at end
// of file, on a read error or a broken stream (parser.Error() then says why). WriteMessage writes
// the framed body whole, through partial writes and signals; false when the reader has gone
// (without the SIGPIPE that would end the process).
bool ReadMessage(int fd, FrameParser& parser, std::string& body);
bool WriteMessage(int fd, const std::string& body);

}  // namespace dap
