#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "asm/FileAssembler.h"
#include "debugger/SymbolTable.h"
#include "emulator/Machine.h"
#include "host/config/ConfigDocument.h"
#include "host/config/ConfigLocation.h"
#include "host/config/Settings.h"

// The debugger as an editor sees it: requests of the Debug Adapter Protocol in, responses and
// events out, one program (an assembly source assembled and loaded into the machine) on the
// one processor. The machine is run from the thread that calls Work, between requests, so the
// breakpoints, the steps and the history are the debugger core's and nothing runs meanwhile.
namespace dap {

using Json = nlohmann::json;

// The program as assembled: which source line put which bytes where.
struct DapProgram {
    std::string path;  // as the client named it, made absolute
    assembler::AsmResult assembled;
    debugger::SymbolTable symbols;
    std::vector<int> lineAt = std::vector<int>(0x10000, 0);  // 0: not from the program
    uint16_t start = 0;

    // The first line at or after `line` that assembled an instruction, with its address.
    std::optional<assembler::AsmPlaced> CodeAtOrAfter(int line) const;
};

// A window showing the session's machine and taking its keys, made by the program that has a
// toolkit (this layer knows none). Served on the adapter's thread between requests, so it only
// looks at the machine and hands keys over; running and stepping stay the session's.
class SessionWindow {
  public:
    virtual ~SessionWindow() = default;
    // The window's events, the keys to the machine, its picture; false once the user closed it.
    virtual bool Serve() = 0;
};
// Null with `error` set when no window can be shown.
using WindowMaker = std::function<std::unique_ptr<SessionWindow>(
    Machine& machine, const config::Settings& settings, std::string& error)>;

class DapSession {
  public:
    using Sender = std::function<void(const Json& message)>;
    // `place`: the configuration a launch without "config" uses.
    DapSession(config::ConfigPlace place, Sender send);
    ~DapSession();
    DapSession(const DapSession&) = delete;
    DapSession& operator=(const DapSession&) = delete;

    void Handle(const Json& message);
    // Runs the machine for a few milliseconds of host time when it runs. False when nothing
    // runs: the caller may wait for the next request.
    bool Work();
    bool Finished() const { return finished_; }

    // A launch with "window": true shows the machine through this; unset, there is none.
    WindowMaker MakeWindow;
    // While a window shows, Work serves it: the caller must not wait long for requests.
    bool HasWindow() const { return window_ != nullptr; }

    // The time Work runs at most before it returns, so that a pause is heard promptly.
    static constexpr std::chrono::milliseconds kWorkSlice{20};

  private:
    using Handler = void (DapSession::*)(const Json& request, Json& body);
    struct Failure {
        std::string message;
    };

    // Requests (DapSession.cpp: the session and running; DapInspect.cpp: what is looked at).
    void Initialize(const Json& request, Json& body);
    void Launch(const Json& request, Json& body);
    void ConfigurationDone(const Json& request, Json& body);
    void Disconnect(const Json& request, Json& body);
    void Terminate(const Json& request, Json& body);
    void SetBreakpoints(const Json& request, Json& body);
    void SetInstructionBreakpoints(const Json& request, Json& body);
    void DataBreakpointInfo(const Json& request, Json& body);
    void SetDataBreakpoints(const Json& request, Json& body);
    void Continue(const Json& request, Json& body);
    void Next(const Json& request, Json& body);
    void StepIn(const Json& request, Json& body);
    void StepOut(const Json& request, Json& body);
    void Pause(const Json& request, Json& body);
    void StepBack(const Json& request, Json& body);
    void ReverseContinue(const Json& request, Json& body);
    void Threads(const Json& request, Json& body);
    void StackTrace(const Json& request, Json& body);
    void Scopes(const Json& request, Json& body);
    void Variables(const Json& request, Json& body);
    void SetVariable(const Json& request, Json& body);
    void Evaluate(const Json& request, Json& body);
    void ReadMemory(const Json& request, Json& body);
    void WriteMemory(const Json& request, Json& body);
    void Disassemble(const Json& request, Json& body);

    static Handler Find(const std::string& command);
    void Respond(const Json& request, bool success, const std::string& message, Json body);
    void Event(const std::string& name, Json body = Json::object());
    void Output(const std::string& text, const std::string& category = "console");

    bool StartMachine(const std::string& configPath, std::string& error);
    void StopMachine();
    // The user closed the window: the program ends as a terminate request ends it.
    void WindowClosed();
    void RequireStopped() const;
    Machine& Running() const;
    // Lets the machine run (the debugger core has set up the errand) and reports it.
    void Resume();
    // The machine stopped in the debugger: paused, and the client hears why.
    void Stopped(const std::string& reason, const std::string& text = {}, int hitId = 0);
    void ReportStop();
    void AfterRestore(const MachineHistory::Restored& restored, bool toBreakpoint);
    // The earliest moment going back may reach: the program just loaded. Before it the
    // machine ran the monitor without the program, which is no place to debug it from.
    int64_t Floor();
    // At or before `floor`: tells the client there is nothing further back and stops there.
    bool StoppedAtStart(int64_t floor);

    // Shared by the inspection requests.
    std::string Describe(uint16_t address) const;
    std::string InstructionText(uint16_t address, int* length = nullptr) const;
    Json SourceOf() const;
    // The request's "memoryReference" as an address (a number or a label).
    uint16_t MemoryReference(const Json& args) const;
    Json Frame(int id, uint16_t at, const std::string& name) const;

    config::ConfigPlace place_;
    Sender send_;
    int64_t seq_ = 1;
    bool linesStartAt1_ = true;
    bool finished_ = false;
    bool running_ = false;
    bool configured_ = false;
    bool stopOnEntry_ = false;
    double speed_ = 1.0;  // 0: as fast as the host goes
    std::chrono::steady_clock::time_point paceStart_;
    int64_t pacePeriods_ = 0;
    int64_t launchPosition_ = 0;

    std::unique_ptr<config::ConfigDocument> document_;
    std::unique_ptr<config::Settings> settings_;
    std::unique_ptr<Machine> machine_;
    std::unique_ptr<DapProgram> program_;
    std::unique_ptr<SessionWindow> window_;
};

// The program's source assembled and mapped; false with the errors, one per line, as
// "file:line:column: error: message".
bool AssembleProgram(const std::string& path, bool z80, DapProgram& program, std::string& errors);

}  // namespace dap
