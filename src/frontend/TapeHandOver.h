#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "emulator/RequestCell.h"
#include "media/tape/TapeDeck.h"
#include "media/tape/TapeMessage.h"

// The tape deck's events 1, 5 and 6 taken from the emulation thread to the window's thread. The
// emulation thread posts the event in a request cell and waits, holding the processor mutex, so
// the machine stands still (and the recording stays in the tape's buffer) until the window's
// refresh has served it.
//
// That wait is only safe while the window thread is not itself waiting for the processor mutex,
// and a thread that is already waiting in a lock cannot be told about a request. So every call
// of the window thread that may take the processor mutex is made inside a MachineCall, and an
// event that finds the window inside one is served at once on the emulation thread instead
// (stop, append), with only what needs the user (the new tape's name, a failure) left for the
// next refresh. The window thread meanwhile cannot touch the deck: it is waiting for the mutex,
// and leaving the MachineCall waits until the event has been served.
class TapeHandOver {
  public:
    // The window's side: asking for a tape file and telling of a failure.
    class Window {
      public:
        virtual ~Window() = default;
        // A save dialog for a new tape, starting at `path`; false when cancelled.
        virtual bool AskNewTapePath(std::string& path) = 0;
        virtual void ShowTapeMessage(const TapeMessage& message) = 0;
    };

    // Made on the window thread; becomes the deck's hand-over.
    TapeHandOver(TapeDeck& deck, Window& window);
    ~TapeHandOver();
    TapeHandOver(const TapeHandOver&) = delete;
    TapeHandOver& operator=(const TapeHandOver&) = delete;

    // The window's refresh: serves a posted event and what an event left for the window.
    void Serve();
    // An event is being served (a dialog of it may be open).
    bool Serving() const { return serving_; }
    // Counts the changes an event made to the deck's list (a new tape, a record appended), so
    // that the window sees when to show it again.
    int ListChanges() const { return listChanges_.load(); }

    // Around a call of the window thread that may wait for the processor mutex. Entering serves
    // an event that is being posted first; it is refused (false) while an event is in service,
    // whose poster holds the mutex: the caller then leaves the machine alone.
    class MachineCall {
      public:
        explicit MachineCall(TapeHandOver& handOver);
        ~MachineCall();
        MachineCall(const MachineCall&) = delete;
        MachineCall& operator=(const MachineCall&) = delete;
        explicit operator bool() const { return entered_; }

      private:
        TapeHandOver& handOver_;
        bool entered_;
    };

  private:
    void OnEvent(int event);                  // the deck's hand-over
    void ServeEvent(int event, bool canAsk);  // on either thread, see above
    bool Enter();
    void Leave();

    TapeDeck& deck_;
    Window& window_;
    const std::thread::id windowThread_;
    RequestCell cell_;
    std::mutex gate_;       // the fields below, and the deck while an event is served directly
    int inside_ = 0;        // MachineCalls of the window thread under way
    bool posting_ = false;  // the emulation thread posts or waits
    bool askPending_ = false;
    TapeMessage pendingMessage_;
    bool serving_ = false;  // window thread only
    std::atomic<int> listChanges_{0};
};
