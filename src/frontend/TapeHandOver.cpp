#include "frontend/TapeHandOver.h"

#include "machine/IfTape.h"

TapeHandOver::TapeHandOver(TapeDeck& deck, Window& window)
    : deck_(deck), window_(window), windowThread_(std::this_thread::get_id()) {
    deck_.SetHandOver(TapeDeck::HandOver::Bind<&TapeHandOver::OnEvent>(this));
}

TapeHandOver::~TapeHandOver() {
    deck_.SetHandOver({});
}

void TapeHandOver::OnEvent(int event) {
    std::unique_lock<std::mutex> lock(gate_);
    // A device reset while the window rebuilds the machine comes on the window thread itself.
    if (inside_ > 0 || std::this_thread::get_id() == windowThread_) {
        ServeEvent(event, false);
        return;
    }
    posting_ = true;
    lock.unlock();
    cell_.Post(event);
    lock.lock();
    posting_ = false;
}

void TapeHandOver::ServeEvent(int event, bool canAsk) {
    switch (event) {
        case IfTape::kEventSerialReset: deck_.Stop(); break;
        case IfTape::kEventFirstBlock:
            if (!deck_.NeedsTapeFile()) break;
            if (!canAsk) {
                askPending_ = true;
                break;
            }
            {
                std::string path = deck_.TapePath();
                if (window_.AskNewTapePath(path)) {
                    deck_.SetNewTapePath(path);
                    ++listChanges_;
                } else {
                    deck_.Stop();
                }
            }
            break;
        case IfTape::kEventRecordingDone: {
            TapeMessage message = deck_.AppendRecording();
            // Appended or held, the record is listed; only a recording nothing could keep is not.
            ++listChanges_;
            if (!message) break;
            if (canAsk) {
                window_.ShowTapeMessage(message);
            } else {
                pendingMessage_ = std::move(message);
            }
            break;
        }
        default: break;
    }
}

void TapeHandOver::Serve() {
    if (serving_) return;
    serving_ = true;
    bool ask = false;
    TapeMessage message;
    {
        std::lock_guard<std::mutex> lock(gate_);
        std::swap(ask, askPending_);
        std::swap(message, pendingMessage_);
    }
    if (ask) ServeEvent(IfTape::kEventFirstBlock, true);
    if (message) window_.ShowTapeMessage(message);
    const int event = cell_.TryTake();
    if (event != RequestCell::kNone) {
        ServeEvent(event, true);
        cell_.Complete();
    }
    serving_ = false;
}

bool TapeHandOver::Enter() {
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(gate_);
            if (!posting_) {
                ++inside_;
                return true;
            }
        }
        if (serving_) return false;
        // The poster is on its way into the cell or waits there: serve it, then go in.
        Serve();
        std::this_thread::yield();
    }
}

void TapeHandOver::Leave() {
    std::lock_guard<std::mutex> lock(gate_);
    --inside_;
}

TapeHandOver::MachineCall::MachineCall(TapeHandOver& handOver)
    : handOver_(handOver), entered_(handOver.Enter()) {}

TapeHandOver::MachineCall::~MachineCall() {
    if (entered_) handOver_.Leave();
}
