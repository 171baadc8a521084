#include "frontend/dap/DapFraming.h"

#include <errno.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string_view>

namespace dap {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// A piece of a hostile header, fit for a log line: short, and nothing that moves a terminal.
std::string Quoted(std::string_view text) {
    constexpr size_t kShown = 24;
    std::string shown = "\"";
    for (size_t i = 0; i < text.size() && i < kShown; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        shown += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    if (text.size() > kShown) shown += "...";
    return shown + "\"";
}

}  // namespace

void FrameParser::Break(std::string reason) {
    broken_ = true;
    error_ = std::move(reason);
    bodySize_.reset();
    std::string().swap(buffer_);
    start_ = 0;
    lineAt_ = 0;
    searchedTo_ = 0;
    lengthSeen_.reset();
}

void FrameParser::Feed(const char* data, size_t size) {
    if (broken_ || size == 0) return;
    buffer_.append(data, size);
    // Read the header now, so that a stream without one breaks as it arrives instead of piling
    // up until someone asks for a body.
    if (!bodySize_) ReadHeader();
}

bool FrameParser::ReadHeader() {
    // A header that trickles in a byte at a time is read on from the line it stopped at, and
    // nothing past kMaxHeader is ever searched.
    const size_t available = buffer_.size() - start_;
    const std::string_view block(buffer_.data() + start_, std::min(available, kMaxHeader));
    size_t& line = lineAt_;
    std::optional<size_t>& length = lengthSeen_;
    while (true) {
        const size_t end = block.find('\n', std::max(line, searchedTo_));
        if (end == std::string_view::npos) {
            searchedTo_ = block.size();
            if (available >= kMaxHeader) {
                Break("a header block over " + std::to_string(kMaxHeader) + " bytes");
            }
            return false;
        }
        if (end == line || block[end - 1] != '\r') {
            Break("a header line that does not end in CR LF");
            return false;
        }
        const std::string_view text = block.substr(line, end - 1 - line);
        line = end + 1;
        if (text.empty()) break;  // the empty line that ends the block
        const size_t colon = text.find(':');
        if (colon == std::string_view::npos) {
            Break("a header line without a colon: " + Quoted(text));
            return false;
        }
        if (!SameName(Trim(text.substr(0, colon)), "Content-Length")) continue;
        const std::string_view value = Trim(text.substr(colon + 1));
        if (value.empty() || value.find_first_not_of("0123456789") != std::string_view::npos) {
            Break("Content-Length is not a number: " + Quoted(value));
            return false;
        }
        size_t size = 0;
        for (const char digit : value) {
            size = size * 10 + static_cast<size_t>(digit - '0');
            if (size > kMaxBody) {
                Break("Content-Length " + Quoted(value) + " is over the limit of " +
                      std::to_string(kMaxBody) + " bytes");
                return false;
            }
        }
        // Two lengths that disagree leave no way to know which one the sender meant.
        if (length && *length != size) {
            Break("two different Content-Length headers");
            return false;
        }
        length = size;
    }
    if (!length) {
        Break("a header without Content-Length");
        return false;
    }
    bodySize_ = length;
    start_ += line;
    line = 0;
    searchedTo_ = 0;
    length.reset();
    return true;
}

std::optional<std::string> FrameParser::Take() {
    if (broken_) return std::nullopt;
    if (!bodySize_ && !ReadHeader()) return std::nullopt;
    if (buffer_.size() - start_ < *bodySize_) return std::nullopt;
    std::string body = buffer_.substr(start_, *bodySize_);
    start_ += *bodySize_;
    bodySize_.reset();
    // Drop what was handed out once it outweighs what is left, so the buffer stays about one
    // message long however long the stream runs.
    if (start_ >= buffer_.size() - start_) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    return body;
}

std::string Frame(const std::string& body) {
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

bool ReadMessage(int fd, FrameParser& parser, std::string& body) {
    char chunk[64 * 1024];
    while (true) {
        if (std::optional<std::string> taken = parser.Take()) {
            body = std::move(*taken);
            return true;
        }
        if (parser.Broken()) return false;
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        parser.Feed(chunk, static_cast<size_t>(got));
    }
}

namespace {

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size);
        if (put < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                pollfd writable{fd, POLLOUT, 0};
                ::poll(&writable, 1, -1);
                continue;
            }
            return false;
        }
        data += put;
        size -= static_cast<size_t>(put);
    }
    return true;
}

}  // namespace

bool WriteMessage(int fd, const std::string& body) {
    const std::string framed = Frame(body);
    // A reader that has gone turns the write into SIGPIPE, which would end the whole process.
    // Blocked in this thread only, the signal stays pending instead and is taken back below, so
    // the writer sees EPIPE and the rest of the process (its own handlers) is left as it was.
    sigset_t pipeSignal, previous, pending;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    sigpending(&pending);
    const bool alreadyPending = sigismember(&pending, SIGPIPE) == 1;
    const bool written = WriteAll(fd, framed.data(), framed.size());
    const int error = errno;
    if (!written && error == EPIPE && !alreadyPending) {
        const timespec now{0, 0};
        while (sigtimedwait(&pipeSignal, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    return written;
}

}  // namespace dap
