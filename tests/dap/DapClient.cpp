#include "dap/DapClient.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "support/TempFolder.h"

extern char** environ;

namespace dap_test {

namespace {

using Clock = std::chrono::steady_clock;

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

std::string Shortened(const std::string& text, size_t most) {
    return text.size() <= most ? text : text.substr(0, most) + "...";
}

}  // namespace

DapClient::~DapClient() {
    CloseFd(toAdapter_);
    CloseFd(fromAdapter_);
    if (pid_ > 0 && !status_) {
        ::kill(pid_, SIGTERM);
        Reap(true);
    }
}

bool DapClient::Start(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& stderrPath,
                      const std::vector<std::pair<std::string, std::string>>& environment) {
    stderrPath_ = stderrPath;
    int input[2], output[2];
    if (::pipe2(input, O_CLOEXEC) != 0) {
        Fail(std::string("pipe: ") + strerror(errno));
        return false;
    }
    if (::pipe2(output, O_CLOEXEC) != 0) {
        ::close(input[0]);
        ::close(input[1]);
        Fail(std::string("pipe: ") + strerror(errno));
        return false;
    }

    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        bool replaced = false;
        for (const auto& [name, value] : environment) {
            replaced = replaced || variable.rfind(name + "=", 0) == 0;
        }
        if (!replaced) variables.push_back(variable);
    }
    for (const auto& [name, value] : environment) variables.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::vector<std::string> words = {program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    // The adapter starts as from a shell, whatever signals this thread has blocked or ignored.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, pipeSignal;
    sigemptyset(&none);
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &pipeSignal);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const int spawned =
        posix_spawn(&pid_, program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(input[0]);
    ::close(output[1]);
    toAdapter_ = input[1];
    fromAdapter_ = output[0];
    if (spawned != 0) {
        pid_ = -1;
        ended_ = true;
        Fail("cannot start " + program + ": " + strerror(spawned));
        return false;
    }
    return true;
}

std::optional<int> DapClient::Reap(bool block) {
    if (status_ || pid_ <= 0) return status_;
    int status = 0;
    pid_t reaped;
    do {
        reaped = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
    } while (reaped < 0 && errno == EINTR);
    if (reaped == pid_) {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }
    return status_;
}

void DapClient::Fail(const std::string& what) {
    error_ = what;
    // An adapter that closed its output has usually ended; give it a moment to be reaped.
    if (ended_ && pid_ > 0) {
        for (int i = 0; i < 100 && !Reap(false); ++i) {
            std::this_thread::sleep_for(Millis(10));
        }
    }
    if (status_) error_ += " (the adapter ended with status " + std::to_string(*status_) + ")";
    std::string tail = testing_support::ReadFile(stderrPath_);
    if (tail.size() > 4096) tail = "..." + tail.substr(tail.size() - 4096);
    error_ += "\n--- the adapter's stderr:\n" + tail;
}

std::string DapClient::Transcript() const {
    std::string text;
    const size_t first = transcript_.size() > 60 ? transcript_.size() - 60 : 0;
    for (size_t i = first; i < transcript_.size(); ++i) text += transcript_[i] + "\n";
    return text;
}

bool DapClient::Send(const Json& message) {
    const std::string text = message.dump();
    transcript_.push_back("-> " + Shortened(text, 400));
    if (toAdapter_ < 0 || !dap::WriteMessage(toAdapter_, text)) {
        ended_ = true;
        Fail("the adapter does not read its input");
        return false;
    }
    return true;
}

bool DapClient::ReadSome(Clock::time_point deadline, const std::string& waitingFor) {
    char chunk[64 * 1024];
    while (true) {
        if (std::optional<std::string> body = parser_.Take()) {
            transcript_.push_back("<- " + Shortened(*body, 400));
            Json message = Json::parse(*body, nullptr, false);
            if (message.is_discarded() || !message.is_object()) {
                Fail("the adapter sent a message that is not a JSON object: " +
                     Shortened(*body, 200));
                return false;
            }
            const std::string type = message.value("type", "");
            if (type == "response" && message.contains("request_seq") &&
                message["request_seq"].is_number_integer()) {
                // The key first: the right side of an assignment is evaluated before the left.
                const int answered = message["request_seq"].get<int>();
                responses_[answered] = std::move(message);
            } else if (type == "event") {
                events_.push_back(std::move(message));
            }
            return true;
        }
        if (parser_.Broken()) {
            Fail("the adapter's output cannot be read: " + parser_.Error());
            return false;
        }
        if (ended_ || fromAdapter_ < 0) {
            Fail("the adapter's output has ended while waiting for " + waitingFor);
            return false;
        }
        const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now()).count();
        if (left <= 0) {
            Fail("no " + waitingFor + " in time");
            return false;
        }
        pollfd readable{fromAdapter_, POLLIN, 0};
        const int ready = ::poll(&readable, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;  // the deadline is checked above
        const ssize_t got = ::read(fromAdapter_, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ended_ = true;
            continue;
        }
        parser_.Feed(chunk, static_cast<size_t>(got));
    }
}

Json DapClient::Request(const std::string& command, const Json& arguments, Millis timeout) {
    const int seq = nextSeq_++;
    if (!Send(
            {{"seq", seq}, {"type", "request"}, {"command", command}, {"arguments", arguments}})) {
        return nullptr;
    }
    const auto deadline = Clock::now() + timeout;
    while (true) {
        if (auto found = responses_.find(seq); found != responses_.end()) {
            Json response = std::move(found->second);
            responses_.erase(found);
            return response;
        }
        if (!ReadSome(deadline, "response to '" + command + "'")) return nullptr;
    }
}

Json DapClient::WaitEvent(const std::string& event, Millis timeout) {
    const auto deadline = Clock::now() + timeout;
    while (true) {
        for (auto it = events_.begin(); it != events_.end(); ++it) {
            if (it->value("event", "") == event) {
                Json found = std::move(*it);
                events_.erase(it);
                return found;
            }
        }
        if (!ReadSome(deadline, "'" + event + "' event")) return nullptr;
    }
}

std::optional<int> DapClient::Close(Millis timeout) {
    if (pid_ <= 0) return status_;
    if (!ended_ && toAdapter_ >= 0) Request("disconnect", Json::object(), timeout);
    CloseFd(toAdapter_);
    // Whatever it still writes is read, so that a full pipe cannot hold its exit up.
    const auto waitForExit = [&] {
        const auto deadline = Clock::now() + timeout;
        char chunk[4096];
        while (!Reap(false) && Clock::now() < deadline) {
            if (fromAdapter_ < 0) {
                std::this_thread::sleep_for(Millis(10));
                continue;
            }
            pollfd readable{fromAdapter_, POLLIN, 0};
            if (::poll(&readable, 1, 10) > 0) {
                const ssize_t got = ::read(fromAdapter_, chunk, sizeof chunk);
                if (got == 0 || (got < 0 && errno != EINTR)) CloseFd(fromAdapter_);
            }
        }
        return status_.has_value();
    };
    if (!waitForExit()) {
        ::kill(pid_, SIGTERM);
        waitForExit();
    }
    CloseFd(fromAdapter_);
    return status_;
}

std::string Base64(const std::vector<uint8_t>& bytes) {
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = std::min<size_t>(3, bytes.size() - i);
        uint32_t group = bytes[i] << 16;
        if (n > 1) group |= bytes[i + 1] << 8;
        if (n > 2) group |= bytes[i + 2];
        for (size_t d = 0; d < 4; ++d) {
            text += d <= n ? kDigits[(group >> (18 - 6 * d)) & 0x3F] : '=';
        }
    }
    return text;
}

std::optional<std::vector<uint8_t>> FromBase64(const std::string& text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < text.size(); i += 4) {
        uint32_t group = 0;
        int padding = 0;
        for (size_t d = 0; d < 4; ++d) {
            const char c = text[i + d];
            int value;
            if (c >= 'A' && c <= 'Z')
                value = c - 'A';
            else if (c >= 'a' && c <= 'z')
                value = c - 'a' + 26;
            else if (c >= '0' && c <= '9')
                value = c - '0' + 52;
            else if (c == '+')
                value = 62;
            else if (c == '/')
                value = 63;
            else if (c == '=' && i + 4 == text.size() && d >= 2)
                value = 0, ++padding;
            else
                return std::nullopt;
            if (padding > 0 && c != '=') return std::nullopt;
            group = group << 6 | static_cast<uint32_t>(value);
        }
        bytes.push_back(static_cast<uint8_t>(group >> 16));
        if (padding < 2) bytes.push_back(static_cast<uint8_t>(group >> 8));
        if (padding < 1) bytes.push_back(static_cast<uint8_t>(group));
    }
    return bytes;
}

}  // namespace dap_test
