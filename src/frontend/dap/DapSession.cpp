// The adapter's session: the requests that start, configure and run the program, and the stops
// they end in. What a stopped machine is asked about is in DapInspect.cpp.
#include "frontend/dap/DapSession.h"

#include <algorithm>
#include <filesystem>
#include <thread>
#include <unordered_map>

#include "debugger/DebugExpression.h"
#include "emulator/SpeedControl.h"
#include "emulator/StartUp.h"
#include "frontend/ConfigOpening.h"
#include "frontend/FaultMessage.h"
#include "frontend/MachineChoices.h"
#include "host/files/AtomicFile.h"
#include "media/memory/MemoryTransfer.h"

namespace dap {
namespace {

// The program is stored once the monitor has set the machine up, as a load from the command
// line is.
constexpr int64_t kLoadAtTicks = 1000 * (speed::kTicksPerPeriod / speed::kPeriodMs);
constexpr size_t kMaxSource = 4 * 1024 * 1024;
constexpr double kUnpacedFactor = 8.0;

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*XH", digits, value);
    return text;
}

std::string Absolute(const std::string& path) {
    std::error_code error;
    const std::filesystem::path made = std::filesystem::weakly_canonical(path, error);
    return error ? path : made.string();
}

std::string Text(const Json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

bool Flag(const Json& object, const char* key, bool otherwise) {
    const auto found = object.find(key);
    return found != object.end() && found->is_boolean() ? found->get<bool>() : otherwise;
}

// The request's number, or 0 for a client that sent none (or not a number).
int64_t SeqOf(const Json& request) {
    const auto found = request.find("seq");
    return found != request.end() && found->is_number_integer() ? found->get<int64_t>() : 0;
}

const Json& Arguments(const Json& request) {
    static const Json none = Json::object();
    const auto found = request.find("arguments");
    return found != request.end() && found->is_object() ? *found : none;
}

}  // namespace

std::optional<assembler::AsmPlaced> DapProgram::CodeAtOrAfter(int line) const {
    for (const assembler::AsmPlaced& placed : assembled.Placed) {
        if (placed.Line >= line && placed.Kind == assembler::AsmRegionKind::Code) return placed;
    }
    return std::nullopt;
}

bool AssembleProgram(const std::string& path, bool z80, DapProgram& program, std::string& errors) {
    std::string source;
    switch (files::ReadWholeFile(path, kMaxSource, source)) {
        case files::ReadResult::Ok: break;
        case files::ReadResult::Missing: errors = path + ": no such file"; return false;
        case files::ReadResult::TooLarge: errors = path + ": too large for a source"; return false;
        case files::ReadResult::Failed: errors = path + ": cannot be read"; return false;
    }
    assembler::AsmOptions options;
    options.Z80 = z80;
    program.path = Absolute(path);
    program.assembled =
        assembler::AssembleSource(source, std::filesystem::path(path).filename().string(), options);
    if (!program.assembled.Ok) {
        errors.clear();
        for (const assembler::AsmDiagnostic& d : program.assembled.Diagnostics) {
            if (d.Warning) continue;
            if (!errors.empty()) errors += "\n";
            errors += d.Describe();
        }
        if (errors.empty()) errors = path + ": does not assemble";
        return false;
    }
    if (program.assembled.Image.empty()) {
        errors = path + ": assembles to nothing";
        return false;
    }
    std::string symbolError;
    if (!program.symbols.Load(program.assembled.Symbols, symbolError)) {
        errors = path + ": " + symbolError;
        return false;
    }
    for (const assembler::AsmPlaced& placed : program.assembled.Placed) {
        for (int i = 0; i < placed.Length; ++i) {
            program.lineAt[static_cast<uint16_t>(placed.Address + i)] = placed.Line;
        }
    }
    const std::optional<uint16_t> start = program.symbols.Find("START");
    program.start = start ? *start : program.assembled.Start;
    return true;
}

DapSession::DapSession(config::ConfigPlace place, Sender send)
    : place_(std::move(place)), send_(std::move(send)) {}

DapSession::~DapSession() {
    StopMachine();
}

DapSession::Handler DapSession::Find(const std::string& command) {
    static const std::unordered_map<std::string, Handler> handlers = {
        {"initialize", &DapSession::Initialize},
        {"launch", &DapSession::Launch},
        {"configurationDone", &DapSession::ConfigurationDone},
        {"disconnect", &DapSession::Disconnect},
        {"terminate", &DapSession::Terminate},
        {"setBreakpoints", &DapSession::SetBreakpoints},
        {"setInstructionBreakpoints", &DapSession::SetInstructionBreakpoints},
        {"dataBreakpointInfo", &DapSession::DataBreakpointInfo},
        {"setDataBreakpoints", &DapSession::SetDataBreakpoints},
        {"continue", &DapSession::Continue},
        {"next", &DapSession::Next},
        {"stepIn", &DapSession::StepIn},
        {"stepOut", &DapSession::StepOut},
        {"pause", &DapSession::Pause},
        {"stepBack", &DapSession::StepBack},
        {"reverseContinue", &DapSession::ReverseContinue},
        {"threads", &DapSession::Threads},
        {"stackTrace", &DapSession::StackTrace},
        {"scopes", &DapSession::Scopes},
        {"variables", &DapSession::Variables},
        {"setVariable", &DapSession::SetVariable},
        {"evaluate", &DapSession::Evaluate},
        {"readMemory", &DapSession::ReadMemory},
        {"writeMemory", &DapSession::WriteMemory},
        {"disassemble", &DapSession::Disassemble},
    };
    const auto found = handlers.find(command);
    return found == handlers.end() ? nullptr : found->second;
}

void DapSession::Handle(const Json& message) {
    if (!message.is_object() || Text(message, "type") != "request") return;
    const std::string command = Text(message, "command");
    const Handler handler = Find(command);
    if (handler == nullptr) {
        Respond(message, false, "unsupported request '" + command + "'", Json::object());
        return;
    }
    Json body = Json::object();
    try {
        (this->*handler)(message, body);
    } catch (const Failure& failure) {
        Respond(message, false, failure.message, Json::object());
        return;
    } catch (const Json::exception& wrong) {
        // A field of the wrong type: the client's mistake, told to it, the session goes on.
        Respond(message, false, std::string("malformed arguments: ") + wrong.what(),
                Json::object());
        return;
    }
    // Launch and the run requests answer themselves, before the events they cause.
    if (!body.is_null()) Respond(message, true, {}, std::move(body));
}

void DapSession::Respond(const Json& request, bool success, const std::string& message, Json body) {
    Json response = {{"seq", seq_++},
                     {"type", "response"},
                     {"request_seq", SeqOf(request)},
                     {"success", success},
                     {"command", Text(request, "command")}};
    if (!message.empty()) {
        response["message"] = message;
        body["error"] = {{"id", 1}, {"format", message}, {"showUser", true}};
    }
    if (!body.empty()) response["body"] = std::move(body);
    send_(response);
}

void DapSession::Event(const std::string& name, Json body) {
    Json event = {{"seq", seq_++}, {"type", "event"}, {"event", name}};
    if (!body.empty()) event["body"] = std::move(body);
    send_(event);
}

void DapSession::Output(const std::string& text, const std::string& category) {
    Event("output", {{"category", category}, {"output", text + "\n"}});
}

void DapSession::Initialize(const Json& request, Json& body) {
    linesStartAt1_ = Flag(Arguments(request), "linesStartAt1", true);
    for (const char* capability :
         {"supportsConfigurationDoneRequest", "supportsConditionalBreakpoints",
          "supportsHitConditionalBreakpoints", "supportsStepBack", "supportsDataBreakpoints",
          "supportsInstructionBreakpoints", "supportsReadMemoryRequest",
          "supportsWriteMemoryRequest", "supportsDisassembleRequest", "supportsSetVariable",
          "supportsTerminateRequest", "supportsEvaluateForHovers"}) {
        body[capability] = true;
    }
}

Machine& DapSession::Running() const {
    if (!machine_ || !program_) throw Failure{"no program has been launched"};
    return *machine_;
}

void DapSession::RequireStopped() const {
    Running();
    if (running_) throw Failure{"the program is running; pause it first"};
}

bool DapSession::StartMachine(const std::string& configPath, std::string& error) {
    const config::ConfigPlace place =
        configPath.empty() ? place_ : config::GivenConfigPlace(Absolute(configPath));
    auto document = std::make_unique<config::ConfigDocument>();
    const ConfigOpening opening = OpenConfiguration(place, *document);
    if (!opening.usable) {
        error = opening.text + (opening.detail.empty() ? "" : " (" + opening.detail + ")");
        return false;
    }
    settings_ = std::make_unique<config::Settings>(*document);
    document_ = std::move(document);
    machine_ = std::make_unique<Machine>(*settings_);
    frontend::KeepMachineChoices(*machine_, *settings_);
    // This thread runs the periods itself, between requests.
    machine_->SetThrottled(false);
    // As fast as the host goes: long periods, so that the device's clock does not pace them
    // (it paces only at the normal speed).
    machine_->SetSpeedFactor(speed_ == 0 ? kUnpacedFactor : speed_);
    StartUpHooks hooks;
    if (!StartUp(*machine_, hooks)) {
        error = "the main ROM could not be read: " + machine_->MainRomPath();
        StopMachine();
        return false;
    }
    while (machine_->EmulatedTicks() < kLoadAtTicks) {
        machine_->CpuTimerEvent();
        if (machine_->FaultPending()) {
            error = "the machine stopped before the program was loaded: " +
                    FaultDescription(machine_->TakeFault());
            StopMachine();
            return false;
        }
    }
    machine_->SetPaused(true);
    return true;
}

void DapSession::StopMachine() {
    if (!machine_) return;
    window_.reset();
    machine_->SetPaused(true);
    // As the headless runner ends: the sound system lets go of its device without waiting.
    ShuttingDown = true;
    machine_.reset();
    ShuttingDown = false;
    settings_.reset();
    document_.reset();
    running_ = false;
}

void DapSession::Launch(const Json& request, Json& body) {
    const Json& args = Arguments(request);
    if (machine_) throw Failure{"a program is launched already"};
    const std::string path = Text(args, "program");
    if (path.empty()) throw Failure{"launch needs \"program\": the assembly source to debug"};
    const bool window = Flag(args, "window", false);
    if (window && !MakeWindow) throw Failure{"this adapter has no window to show"};
    speed_ = 1.0;
    if (const auto speed = args.find("speed"); speed != args.end()) {
        if (speed->is_string() && speed->get<std::string>() == "max") {
            speed_ = 0;
        } else if (speed->is_number() && speed->get<double>() > 0) {
            speed_ = std::clamp(speed->get<double>(), speed::kSlowest, kUnpacedFactor);
        } else {
            throw Failure{"\"speed\" is a factor such as 1.0, or \"max\""};
        }
    }
    auto program = std::make_unique<DapProgram>();
    std::string error;
    if (!AssembleProgram(path, Flag(args, "z80", false), *program, error)) throw Failure{error};
    if (!StartMachine(Text(args, "config"), error)) throw Failure{error};
    {
        const Machine::PausedScope paused(*machine_);
        ChipMemory* memory = paused.Memory();
        for (const assembler::AsmRegion& region : program->assembled.Regions) {
            media::MemoryArea area;
            area.start = region.From;
            area.length = region.To - region.From + 1;
            const size_t offset = region.From - program->assembled.Start;
            media::StoreInMemory(*memory, area,
                                 std::span(program->assembled.Image)
                                     .subspan(offset, static_cast<size_t>(area.length)));
        }
        machine_->StartProgramAt(program->start);
        machine_->NoteOutsideChange();
        launchPosition_ = machine_->History().Position();
    }
    if (window) {
        window_ = MakeWindow(*machine_, *settings_, error);
        if (!window_) {
            StopMachine();
            throw Failure{error};
        }
    }
    program_ = std::move(program);
    debugger::DebuggerCore& core = machine_->Debugger();
    core.SetTracking(true);
    core.ClearCallStack();
    core.Stop();
    stopOnEntry_ = Flag(args, "stopOnEntry", false);
    Respond(request, true, {}, Json::object());
    body = nullptr;
    Output("Loaded " + path + " (" + std::to_string(program_->assembled.Image.size()) +
           " bytes from " + Hex(program_->assembled.Start, 4) + "), starting at " +
           Describe(program_->start));
    Event("initialized");
}

void DapSession::ConfigurationDone(const Json& request, Json& body) {
    Running();
    Respond(request, true, {}, Json::object());
    body = nullptr;
    if (configured_) return;
    configured_ = true;
    if (stopOnEntry_) {
        Stopped("entry");
    } else {
        machine_->Debugger().Run();
        Resume();
    }
}

void DapSession::Disconnect(const Json& request, Json& body) {
    Respond(request, true, {}, Json::object());
    body = nullptr;
    StopMachine();
    finished_ = true;
}

void DapSession::Terminate(const Json& request, Json& body) {
    Respond(request, true, {}, Json::object());
    body = nullptr;
    StopMachine();
    Event("exited", {{"exitCode", 0}});
    Event("terminated");
}

void DapSession::WindowClosed() {
    if (!machine_) return;
    StopMachine();
    Event("exited", {{"exitCode", 0}});
    Event("terminated");
}

void DapSession::Resume() {
    debugger::DebuggerCore& core = machine_->Debugger();
    core.NoteStop(debugger::StopInfo::Reason::None);
    // The core's run and step commands leave their request for the window's refresh; this is
    // that refresh.
    core.OnRefreshTimer();
    machine_->SetPaused(false);
    running_ = true;
    paceStart_ = std::chrono::steady_clock::now();
    pacePeriods_ = 0;
    Event("continued", {{"threadId", 1}, {"allThreadsContinued", true}});
}

bool DapSession::Work() {
    if (window_ && !window_->Serve()) {
        WindowClosed();
        return false;
    }
    if (!running_ || !machine_) return false;
    const auto until = std::chrono::steady_clock::now() + kWorkSlice;
    debugger::DebuggerCore& core = machine_->Debugger();
    while (std::chrono::steady_clock::now() < until) {
        machine_->CpuTimerEvent();
        ++pacePeriods_;
        if (machine_->FaultPending()) {
            const std::string text = FaultDescription(machine_->TakeFault());
            core.Stop();
            Stopped("exception", text);
            return false;
        }
        if (core.DebuggerState.load() == debugger::kBreakRequested) {
            ReportStop();
            return false;
        }
        if (speed_ != 0) {
            // At a real speed the periods keep to the host's clock: the speed factor has
            // made each one longer or shorter in emulated time already.
            const auto due =
                paceStart_ + std::chrono::microseconds(pacePeriods_ * speed::kPeriodMicros);
            if (due > until) {
                std::this_thread::sleep_until(until);
                return true;
            }
            std::this_thread::sleep_until(due);
        }
    }
    return true;
}

void DapSession::ReportStop() {
    debugger::DebuggerCore& core = machine_->Debugger();
    const debugger::StopInfo stop = core.LastStop();
    core.Stop();
    switch (stop.reason) {
        case debugger::StopInfo::Reason::Breakpoint:
            Stopped("breakpoint", {}, stop.breakpointId);
            break;
        case debugger::StopInfo::Reason::Step: Stopped("step"); break;
        case debugger::StopInfo::Reason::Watch: {
            std::string text = InstructionText(stop.instructionAt) + " at " +
                               Hex(stop.instructionAt, 4) + (stop.write ? " wrote " : " read ") +
                               Hex(stop.value, 2) + (stop.write ? " to " : " from ");
            text += stop.port ? "port " + Hex(stop.address, 2) : Describe(stop.address);
            Stopped("data breakpoint", text, stop.breakpointId);
            break;
        }
        case debugger::StopInfo::Reason::Pause:
        case debugger::StopInfo::Reason::None: Stopped("pause"); break;
    }
}

void DapSession::Stopped(const std::string& reason, const std::string& text, int hitId) {
    machine_->SetPaused(true);
    running_ = false;
    Json body = {{"reason", reason}, {"threadId", 1}, {"allThreadsStopped", true}};
    if (!text.empty()) {
        body["text"] = text;
        body["description"] = reason == "exception" ? "Machine fault: " + text : text;
    }
    if (hitId != 0) body["hitBreakpointIds"] = Json::array({hitId});
    Event("stopped", std::move(body));
}

void DapSession::Continue(const Json& request, Json& body) {
    RequireStopped();
    Respond(request, true, {}, {{"allThreadsContinued", true}});
    body = nullptr;
    machine_->Debugger().Run();
    Resume();
}

void DapSession::Next(const Json& request, Json& body) {
    RequireStopped();
    Respond(request, true, {}, Json::object());
    body = nullptr;
    debugger::DebuggerCore& core = machine_->Debugger();
    if (core.StepOver()) {
        Resume();
    } else {
        ReportStop();
    }
}

void DapSession::StepIn(const Json& request, Json& body) {
    RequireStopped();
    Respond(request, true, {}, Json::object());
    body = nullptr;
    machine_->Debugger().Step();
    if (machine_->FaultPending()) {
        Stopped("exception", FaultDescription(machine_->TakeFault()));
        return;
    }
    ReportStop();
}

void DapSession::StepOut(const Json& request, Json& body) {
    RequireStopped();
    Respond(request, true, {}, Json::object());
    body = nullptr;
    if (machine_->Debugger().StepOut()) {
        Resume();
    } else {
        ReportStop();
    }
}

void DapSession::Pause(const Json& request, Json& body) {
    Running();
    Respond(request, true, {}, Json::object());
    body = nullptr;
    // Already stopped: the client still waits for its stopped event.
    if (!running_ || !machine_->Debugger().Break()) Stopped("pause");
}

int64_t DapSession::Floor() {
    MachineHistory& history = machine_->History();
    // A history cut since (the hardware changed, the SD-ROM card was written) counts anew.
    return launchPosition_ <= history.Position() ? launchPosition_ : history.OldestPosition();
}

bool DapSession::StoppedAtStart(int64_t floor) {
    if (machine_->History().Position() > floor) return false;
    Output("This is where the program started: there is nothing before it.");
    Stopped("step");
    return true;
}

void DapSession::StepBack(const Json& request, Json& body) {
    RequireStopped();
    Respond(request, true, {}, Json::object());
    body = nullptr;
    if (StoppedAtStart(Floor())) return;
    AfterRestore(machine_->History().StepBack(1), false);
}

void DapSession::ReverseContinue(const Json& request, Json& body) {
    RequireStopped();
    Respond(request, true, {}, Json::object());
    body = nullptr;
    MachineHistory& history = machine_->History();
    // Taken now: a restore moves the position below it.
    const int64_t floor = Floor();
    if (StoppedAtStart(floor)) return;
    // A breakpoint's address reached before the launch (in the monitor, or where the program
    // now lies) is not a moment of the program: only moments with the program in memory count.
    // Going back is not undone, so the search must not pass the launch at all.
    const debugger::DebuggerCore& core = machine_->Debugger();
    const assembler::AsmResult& assembled = program_->assembled;
    const size_t signature = std::min<size_t>(assembled.Image.size(), 16);
    MachineHistory::Restored restored = history.StepBackWhere(
        1,
        [&](const ChipCpu8080& cpu, const ChipMemory& memory) {
            if (!core.IsBreakpoint(cpu.PC)) return false;
            for (size_t i = 0; i < signature; ++i) {
                const auto at = static_cast<uint16_t>(assembled.Start + i);
                if (memory.Peek(at) != assembled.Image[i]) return false;
            }
            return true;
        },
        false);
    if (restored.outcome == MachineHistory::Outcome::Done && history.Position() < floor) {
        // Only a program that rewrote its own first bytes back then gets here.
        Output("Went back to before the program was loaded.", "stderr");
    } else if (restored.outcome != MachineHistory::Outcome::Done) {
        restored = history.RestorePosition(floor);
    }
    AfterRestore(restored, true);
}

void DapSession::AfterRestore(const MachineHistory::Restored& restored, bool toBreakpoint) {
    debugger::DebuggerCore& core = machine_->Debugger();
    core.RewindCallStack();
    core.Stop();
    switch (restored.outcome) {
        case MachineHistory::Outcome::Done: break;
        case MachineHistory::Outcome::Unreachable:
            Output("The history holds nothing before this moment.");
            break;
        case MachineHistory::Outcome::Failed:
            Output("Going back failed: the machine is as it was.", "stderr");
            break;
    }
    for (const MachineHistory::Note& note : restored.passed) {
        Output("Went back past a write to " + (note.path.empty() ? note.what : note.path) +
               ", which stays written.");
    }
    const bool atBreakpoint = toBreakpoint && core.IsBreakpoint(core.Cpu()->PC);
    Stopped(atBreakpoint ? "breakpoint" : "step");
}

void DapSession::SetBreakpoints(const Json& request, Json& body) {
    Running();
    const Json& args = Arguments(request);
    const Json source = args.value("source", Json::object());
    const std::string path = Absolute(Text(source, "path"));
    debugger::DebuggerCore& core = machine_->Debugger();
    const std::string group = "source:" + path;
    core.RemoveGroup(group);
    Json list = Json::array();
    const bool ours = path == program_->path;
    for (const Json& wanted : args.value("breakpoints", Json::array())) {
        const int line = wanted.value("line", 0) + (linesStartAt1_ ? 0 : 1);
        Json result = {{"verified", false}, {"line", line - (linesStartAt1_ ? 0 : 1)}};
        std::optional<assembler::AsmPlaced> at;
        if (ours) at = program_->CodeAtOrAfter(line);
        debugger::Breakpoint breakpoint;
        std::string problem = !ours ? "not the launched program's source"
                              : !at ? "no instruction at or after this line"
                                    : "";
        if (problem.empty()) {
            breakpoint.group = group;
            breakpoint.address = at->Address;
            const std::string condition = Text(wanted, "condition");
            if (!condition.empty()) {
                std::optional<debugger::BreakCondition> compiled =
                    debugger::BreakCondition::Compile(condition, program_->symbols, problem);
                if (compiled) {
                    breakpoint.condition = [c = *compiled](const ChipCpu8080& cpu,
                                                           const ChipMemory& memory) {
                        return c.Holds(cpu, memory);
                    };
                }
            }
            const std::string hit = Text(wanted, "hitCondition");
            if (problem.empty() && !hit.empty()) {
                if (const std::optional<debugger::HitCondition> rule =
                        debugger::HitCondition::Parse(hit)) {
                    breakpoint.hitRule = [r = *rule](uint64_t hits) { return r.Stops(hits); };
                } else {
                    problem = "a hit count is a number, or >n, >=n, =n or %n";
                }
            }
        }
        if (problem.empty()) {
            result["id"] = core.AddBreakpoint(std::move(breakpoint));
            result["verified"] = true;
            result["line"] = at->Line - (linesStartAt1_ ? 0 : 1);
            result["instructionReference"] = "0x" + Hex(at->Address, 4).substr(0, 4);
        } else {
            result["message"] = problem;
        }
        result["source"] = source;
        list.push_back(std::move(result));
    }
    body["breakpoints"] = std::move(list);
}

void DapSession::SetInstructionBreakpoints(const Json& request, Json& body) {
    Running();
    debugger::DebuggerCore& core = machine_->Debugger();
    core.RemoveGroup("instruction");
    Json list = Json::array();
    for (const Json& wanted : Arguments(request).value("breakpoints", Json::array())) {
        const std::optional<uint16_t> address =
            debugger::ParseAddress(Text(wanted, "instructionReference"), program_->symbols);
        Json result = {{"verified", false}};
        if (address) {
            debugger::Breakpoint breakpoint;
            breakpoint.group = "instruction";
            breakpoint.address = static_cast<uint16_t>(*address + wanted.value("offset", 0));
            std::string problem;
            const std::string condition = Text(wanted, "condition");
            if (!condition.empty()) {
                if (auto compiled =
                        debugger::BreakCondition::Compile(condition, program_->symbols, problem)) {
                    breakpoint.condition = [c = *compiled](const ChipCpu8080& cpu,
                                                           const ChipMemory& memory) {
                        return c.Holds(cpu, memory);
                    };
                }
            }
            if (problem.empty()) {
                const uint16_t at = breakpoint.address;
                result["id"] = core.AddBreakpoint(std::move(breakpoint));
                result["verified"] = true;
                if (program_->lineAt[at] != 0) {
                    result["line"] = program_->lineAt[at] - (linesStartAt1_ ? 0 : 1);
                    result["source"] = SourceOf();
                }
            } else {
                result["message"] = problem;
            }
        } else {
            result["message"] = "not an address or label";
        }
        list.push_back(std::move(result));
    }
    body["breakpoints"] = std::move(list);
}

void DapSession::DataBreakpointInfo(const Json& request, Json& body) {
    Running();
    const Json& args = Arguments(request);
    std::string name = Text(args, "name");
    const int scope = args.value("variablesReference", 0);
    body["dataId"] = nullptr;
    body["accessTypes"] = Json::array({"read", "write", "readWrite"});
    body["canPersist"] = false;
    if (scope != 0) {
        body["description"] = "registers change with every instruction; watch memory instead";
        return;
    }
    const bool port = name.rfind("port ", 0) == 0 || name.rfind("PORT ", 0) == 0;
    if (port) name.erase(0, 5);
    // "[SUM]" asks for the byte at SUM, as the evaluate request writes it.
    if (name.size() > 2 && name.front() == '[' && name.back() == ']') {
        name = name.substr(1, name.size() - 2);
    }
    const std::optional<uint16_t> address = debugger::ParseAddress(name, program_->symbols);
    if (!address || (port && *address > 0xFF)) {
        body["description"] = "'" + Text(args, "name") + "' is not an address, label or port";
        return;
    }
    char id[32];
    std::snprintf(id, sizeof id, port ? "port:%02X" : "mem:%04X", *address);
    body["dataId"] = id;
    body["description"] = port ? "port " + Hex(*address, 2) : Describe(*address);
}

void DapSession::SetDataBreakpoints(const Json& request, Json& body) {
    Running();
    debugger::DebuggerCore& core = machine_->Debugger();
    core.RemoveGroup("data");
    Json list = Json::array();
    for (const Json& wanted : Arguments(request).value("breakpoints", Json::array())) {
        const std::string id = Text(wanted, "dataId");
        const std::string access =
            wanted.contains("accessType") ? Text(wanted, "accessType") : std::string("write");
        unsigned value = 0;
        char kind[8] = {};
        Json result = {{"verified", false}};
        const bool read = access == "read" || access == "readWrite";
        const bool write = access == "write" || access == "readWrite";
        if (std::sscanf(id.c_str(), "%4[a-z]:%x", kind, &value) == 2 && value <= 0xFFFF &&
            (read || write) && (std::string(kind) == "mem" || std::string(kind) == "port")) {
            debugger::Watchpoint watch;
            watch.group = "data";
            watch.port = std::string(kind) == "port";
            watch.from = watch.to = static_cast<uint16_t>(value);
            watch.onRead = read;
            watch.onWrite = write;
            result["id"] = core.AddWatchpoint(std::move(watch));
            result["verified"] = true;
        } else {
            result["message"] = "not a data breakpoint this adapter gave out";
        }
        list.push_back(std::move(result));
    }
    body["breakpoints"] = std::move(list);
}

}  // namespace dap
