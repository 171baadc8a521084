#include "app/DapRunner.h"

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "frontend/dap/DapFraming.h"
#include "frontend/dap/DapSession.h"

namespace dap {
namespace {

// What the reader thread hands over: message bodies, then the end of the input.
struct Inbox {
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<std::string> bodies;
    bool ended = false;
    std::string why;  // a broken stream, for the log
};

void ReadAll(int in, std::shared_ptr<Inbox> inbox) {
    FrameParser parser;
    std::string body;
    while (ReadMessage(in, parser, body)) {
        const std::lock_guard<std::mutex> lock(inbox->mutex);
        inbox->bodies.push_back(std::move(body));
        inbox->arrived.notify_one();
    }
    const std::lock_guard<std::mutex> lock(inbox->mutex);
    inbox->ended = true;
    if (parser.Broken()) inbox->why = parser.Error();
    inbox->arrived.notify_one();
}

}  // namespace

int RunAdapter(const config::ConfigPlace& place, int in, int out, WindowMaker makeWindow) {
    // A client that went away shows as a failed write, not as a signal that ends the process.
    std::signal(SIGPIPE, SIG_IGN);
    auto inbox = std::make_shared<Inbox>();
    // The reader blocks in read() until the client writes or closes; after a disconnect nobody
    // waits for it, and the process's end takes it along.
    std::thread(ReadAll, in, inbox).detach();
    bool writable = true;
    DapSession session(place, [&](const Json& message) {
        if (writable && !WriteMessage(out, message.dump())) writable = false;
    });
    session.MakeWindow = std::move(makeWindow);
    while (!session.Finished() && writable) {
        std::deque<std::string> bodies;
        bool ended = false;
        std::string why;
        const bool busy = session.Work();
        {
            std::unique_lock<std::mutex> lock(inbox->mutex);
            const auto arrived = [&] { return !inbox->bodies.empty() || inbox->ended; };
            if (!busy && session.HasWindow()) {
                // The window's events and picture come round every 10 ms at least.
                inbox->arrived.wait_for(lock, std::chrono::milliseconds(10), arrived);
            } else if (!busy) {
                // Nothing runs: the next request is all there is to wait for.
                inbox->arrived.wait(lock, arrived);
            }
            bodies.swap(inbox->bodies);
            ended = inbox->ended;
            why = inbox->why;
        }
        for (const std::string& body : bodies) {
            const Json message = Json::parse(body, nullptr, false);
            if (message.is_discarded()) {
                std::cerr << "tevrinemu: a message that is not JSON was ignored\n";
                continue;
            }
            session.Handle(message);
            if (session.Finished()) break;
        }
        if (ended && !session.Finished()) {
            if (!why.empty()) std::cerr << "tevrinemu: the client's stream broke: " << why << "\n";
            break;
        }
    }
    return 0;
}

}  // namespace dap
