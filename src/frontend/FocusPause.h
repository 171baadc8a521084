#pragma once

// "Pause when inactive": the machine pauses while the program is in the background and runs
// again when it comes back, if it was running when it went.
class FocusPause {
  public:
    // The program lost the focus. True when the machine is to be paused now: the option is on
    // and the machine runs. A second loss without a return in between changes nothing.
    bool Deactivated(bool optionOn, bool running);
    // The program has the focus again. True when the machine is to run again.
    bool Activated();
    // Something else took charge of the run state meanwhile (a fault stopped the machine): the
    // return leaves the machine as it is.
    void Forget() { resume_ = false; }

    bool Active() const { return active_; }

  private:
    bool active_ = true;
    bool resume_ = false;
};
