#pragma once

#include <sys/types.h>

#include <chrono>
#include <deque>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "frontend/dap/DapFraming.h"

namespace dap_test {

using Json = nlohmann::json;
using Millis = std::chrono::milliseconds;

// Long enough for a loaded two-core machine and the sanitizer builds; every wait ends as soon as
// what it waits for is there.
inline constexpr Millis kWait{30'000};

// An editor's side of a debug adapter, for tests: starts the adapter as its own process with
// pipes for stdin and stdout (stderr to a file, for the failure message), sends requests and
// sorts what comes back into responses and events. Nothing waits forever: a wait ends at its
// timeout, at the adapter's end of output or at a broken stream, and Error() then says which,
// with the tail of the adapter's stderr.
class DapClient {
  public:
    DapClient() = default;
    ~DapClient();
    DapClient(const DapClient&) = delete;
    DapClient& operator=(const DapClient&) = delete;

    // `environment` adds NAME=value pairs to (or replaces them in) the test's own environment.
    bool Start(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& stderrPath,
               const std::vector<std::pair<std::string, std::string>>& environment = {});

    // Sends the request and waits for its response (matched by request_seq); events that arrive
    // meanwhile are kept for WaitEvent. A null Json when no response came.
    Json Request(const std::string& command, const Json& arguments = Json::object(),
                 Millis timeout = kWait);
    // The first kept or arriving event of that name (the ones before it stay kept); null if none.
    Json WaitEvent(const std::string& event, Millis timeout = kWait);

    // Sends disconnect, closes the adapter's input and waits for its exit; after the timeout it
    // is sent SIGTERM and given as long again. The exit status, -signal for a signal, or nullopt
    // when it is still running.
    std::optional<int> Close(Millis timeout = kWait);

    // What went wrong in the last wait, with the adapter's stderr; the messages exchanged so far.
    const std::string& Error() const { return error_; }
    std::string Transcript() const;

  private:
    bool Send(const Json& message);
    // Reads until one message has been sorted; false (the error set) at `deadline`, at the end
    // of the adapter's output or at something unreadable.
    bool ReadSome(std::chrono::steady_clock::time_point deadline, const std::string& waitingFor);
    void Fail(const std::string& what);
    // Reaps the process if it has ended; its status as Close() returns it.
    std::optional<int> Reap(bool block);

    pid_t pid_ = -1;
    std::optional<int> status_;
    int toAdapter_ = -1;
    int fromAdapter_ = -1;
    std::string stderrPath_;
    int nextSeq_ = 1;
    dap::FrameParser parser_;
    bool ended_ = false;
    std::map<int, Json> responses_;
    std::deque<Json> events_;
    std::vector<std::string> transcript_;
    std::string error_;
};

// Base64 as readMemory and writeMemory carry memory.
std::string Base64(const std::vector<uint8_t>& bytes);
std::optional<std::vector<uint8_t>> FromBase64(const std::string& text);

}  // namespace dap_test
