// The debug adapter as an editor drives it: the built program started with --dap, requests and
// events over its pipes, a small program debugged from its first instruction to its fault.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "dap/DapClient.h"
#include "support/TempFolder.h"

namespace {

using dap_test::Json;

const std::string kSource = std::string(TEVRIN_TEST_DATA_DIR) + "/asm/dap_session.asm";

// The line (from 1) of the first line of the program holding `text`: looked up, so that an
// edit of the comments does not quietly move what the test means.
int LineOf(const std::string& text) {
    std::ifstream in(kSource);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.find(text) != std::string::npos) return number;
    }
    ADD_FAILURE() << "no line holds " << text;
    return -1;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class DapSession : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.Ok());
        // The delivered configuration, with the ROM it names found beside the built program.
        std::string config = testing_support::ReadFile(TEVRIN_DELIVERED_CONFIG);
        const std::string rom = "<RomFile>tevrin.rom</RomFile>";
        const size_t at = config.find(rom);
        ASSERT_NE(at, std::string::npos) << TEVRIN_DELIVERED_CONFIG;
        config.replace(at, rom.size(),
                       "<RomFile>" + std::string(TEVRIN_BIN_DIR) + "/tevrin.rom</RomFile>");
        configPath = folder.Write("TevrinEmu.xml", config);
        ASSERT_TRUE(client.Start(TEVRIN_EMU_PROGRAM, {"--dap"}, folder / "adapter-stderr.txt",
                                 {{"XDG_CONFIG_HOME", folder.MakeFolder("xdg")}}))
            << client.Error();
    }

    testing::AssertionResult Answered(const std::string& command, const Json& response) {
        if (response.is_null()) {
            return testing::AssertionFailure()
                   << command << ": " << client.Error() << "\n--- messages:\n"
                   << client.Transcript();
        }
        return testing::AssertionSuccess();
    }

    // The response's body; a failure when the adapter did not answer or refused.
    testing::AssertionResult Call(const std::string& command, const Json& arguments, Json& body) {
        const Json response = client.Request(command, arguments);
        if (auto answered = Answered(command, response); !answered) return answered;
        if (!response.value("success", false)) {
            return testing::AssertionFailure() << command << " refused: " << response.dump();
        }
        body = response.value("body", Json::object());
        return testing::AssertionSuccess();
    }

    testing::AssertionResult Stopped(const std::string& reason, Json* event = nullptr) {
        const Json stopped = client.WaitEvent("stopped");
        if (auto answered = Answered("stopped (" + reason + ")", stopped); !answered) {
            return answered;
        }
        const Json body = stopped.value("body", Json::object());
        if (body.value("reason", "") != reason || body.value("threadId", 0) != 1) {
            return testing::AssertionFailure()
                   << "expected a stop for " << reason << ": " << stopped.dump();
        }
        if (event != nullptr) *event = body;
        return testing::AssertionSuccess();
    }

    testing::AssertionResult Frames(Json& frames) {
        Json body;
        if (auto called = Call("stackTrace", {{"threadId", 1}}, body); !called) return called;
        frames = body.value("stackFrames", Json::array());
        if (frames.empty()) return testing::AssertionFailure() << "no frames: " << body.dump();
        return testing::AssertionSuccess();
    }

    // The current instruction's address as the adapter writes it ("0x400A").
    std::string Pc() {
        Json frames;
        if (!Frames(frames)) return "(no stack trace)";
        return frames[0].value("instructionPointerReference", "(none)");
    }

    std::string Evaluate(const std::string& expression) {
        Json body;
        if (!Call("evaluate", {{"expression", expression}, {"context", "watch"}}, body)) {
            return "(refused)";
        }
        return body.value("result", "(no result)");
    }

    std::map<std::string, std::string> Variables(int reference) {
        Json body;
        std::map<std::string, std::string> values;
        EXPECT_TRUE(Call("variables", {{"variablesReference", reference}}, body));
        for (const Json& variable : body.value("variables", Json::array())) {
            values[variable.value("name", "")] = variable.value("value", "");
        }
        return values;
    }

    Json Launch(const std::string& program) {
        return client.Request(
            "launch", {{"program", program}, {"stopOnEntry", true}, {"config", configPath}});
    }

    testing::AssertionResult Initialize(Json& capabilities) {
        return Call("initialize",
                    {{"clientID", "tevrin-test"},
                     {"adapterID", "tevrin"},
                     {"linesStartAt1", true},
                     {"columnsStartAt1", true},
                     {"pathFormat", "path"}},
                    capabilities);
    }

    testing_support::TempFolder folder;
    std::string configPath;
    dap_test::DapClient client;
};

TEST_F(DapSession, DebugsAProgramFromItsEntryToItsFault) {
    Json body;
    ASSERT_TRUE(Initialize(body));
    for (const char* capability :
         {"supportsConfigurationDoneRequest", "supportsConditionalBreakpoints",
          "supportsHitConditionalBreakpoints", "supportsStepBack", "supportsDataBreakpoints",
          "supportsInstructionBreakpoints", "supportsReadMemoryRequest",
          "supportsWriteMemoryRequest", "supportsDisassembleRequest", "supportsSetVariable",
          "supportsTerminateRequest"}) {
        EXPECT_EQ(body.value(capability, false), true) << capability;
    }
    const Json launched = Launch(kSource);
    ASSERT_TRUE(Answered("launch", launched));
    ASSERT_TRUE(launched.value("success", false)) << launched.dump();
    ASSERT_TRUE(Answered("initialized", client.WaitEvent("initialized")));

    // A breakpoint on a comment sits on the next line with code; after the last one, on none.
    const int callLine = LineOf("CALL    ADDIT");
    const int outLine = LineOf("OUT     40H");
    const Json source = {{"path", kSource}};
    ASSERT_TRUE(Call("setBreakpoints",
                     {{"source", source},
                      {"breakpoints",
                       {{{"line", callLine}},
                        {{"line", LineOf("; nothing listens")}},
                        {{"line", LineOf("; nothing follows")}}}}},
                     body));
    Json set = body.value("breakpoints", Json::array());
    ASSERT_EQ(set.size(), 3u) << body.dump();
    EXPECT_EQ(set[0].value("verified", false), true) << set[0];
    EXPECT_EQ(set[0].value("line", 0), callLine) << set[0];
    EXPECT_EQ(set[1].value("verified", false), true) << set[1];
    EXPECT_EQ(set[1].value("line", 0), outLine) << set[1];
    EXPECT_EQ(set[2].value("verified", true), false) << set[2];

    ASSERT_TRUE(Call("configurationDone", Json::object(), body));
    ASSERT_TRUE(Stopped("entry"));
    Json frames;
    ASSERT_TRUE(Frames(frames));
    EXPECT_EQ(frames[0].value("instructionPointerReference", ""), "0x4000");
    EXPECT_EQ(frames[0].value("line", 0), LineOf("START:"));
    EXPECT_TRUE(EndsWith(frames[0]["source"].value("path", ""), "dap_session.asm")) << frames[0];
    ASSERT_TRUE(Call("threads", Json::object(), body));
    EXPECT_EQ(body["threads"], Json::parse(R"([{"id":1,"name":"8080"}])")) << body.dump();

    // At the call: what the four instructions before it set up.
    ASSERT_TRUE(Call("continue", {{"threadId", 1}}, body));
    ASSERT_TRUE(Stopped("breakpoint"));
    ASSERT_TRUE(Frames(frames));
    EXPECT_EQ(frames[0].value("instructionPointerReference", ""), "0x400A");
    EXPECT_EQ(frames[0].value("line", 0), callLine);
    ASSERT_TRUE(Call("scopes", {{"frameId", frames[0].value("id", 0)}}, body));
    std::map<std::string, int> scopes;
    for (const Json& scope : body.value("scopes", Json::array())) {
        scopes[scope.value("name", "")] = scope.value("variablesReference", 0);
    }
    ASSERT_EQ(scopes.size(), 3u) << body.dump();
    ASSERT_TRUE(scopes.count("Registers") && scopes.count("Flags") && scopes.count("Memory pages"))
        << body.dump();
    std::map<std::string, std::string> registers = Variables(scopes["Registers"]);
    EXPECT_EQ(registers["A"], "05H");
    EXPECT_EQ(registers["B"], "03H");
    EXPECT_EQ(registers["SP"], "5000H");
    EXPECT_EQ(registers["PC"], "400AH");
    for (const char* pair : {"BC", "DE", "HL"}) {
        const std::string high(1, pair[0]), low(1, pair[1]);
        EXPECT_EQ(registers[pair], registers[high].substr(0, 2) + registers[low]) << pair;
    }
    EXPECT_EQ(registers.count("F"), 1u);
    const std::map<std::string, std::string> flags = Variables(scopes["Flags"]);
    for (const char* flag : {"S", "Z", "AC", "P", "CY", "INTE"}) {
        ASSERT_TRUE(flags.count(flag)) << flag;
        EXPECT_TRUE(flags.at(flag) == "0" || flags.at(flag) == "1") << flag << flags.at(flag);
    }
    EXPECT_EQ(Evaluate("[SUM]"), "05H");
    EXPECT_EQ(Evaluate("SUM"), "4020H");

    // Over the call: ADDIT has added its 7.
    ASSERT_TRUE(Call("next", {{"threadId", 1}}, body));
    ASSERT_TRUE(Stopped("step"));
    EXPECT_EQ(Pc(), "0x400D");
    EXPECT_EQ(Evaluate("[SUM]"), "0CH");
    EXPECT_EQ(Evaluate("A"), "0CH");

    // Back through ADDIT an instruction at a time, to before the call: RET, STA (SUM was
    // written there), ADI, LDA, CALL.
    for (const char* pc : {"0x401C", "0x4019", "0x4017", "0x4014", "0x400A"}) {
        ASSERT_TRUE(Call("stepBack", {{"threadId", 1}}, body));
        ASSERT_TRUE(Stopped("step"));
        EXPECT_EQ(Pc(), pc);
        if (std::string(pc) == "0x4019") {
            EXPECT_EQ(Evaluate("[SUM]"), "05H");
        }
    }
    EXPECT_EQ(Evaluate("A"), "05H");
    EXPECT_EQ(Evaluate("SP"), "5000H");
    EXPECT_EQ(Evaluate("[SUM]"), "05H");

    // A watch on SUM stops at ADDIT's store, inside the call.
    ASSERT_TRUE(Call("dataBreakpointInfo", {{"name", "SUM"}}, body));
    ASSERT_TRUE(body.contains("dataId") && body["dataId"].is_string()) << body.dump();
    EXPECT_NE(body.value("accessTypes", Json::array()).dump().find("\"write\""), std::string::npos)
        << body.dump();
    ASSERT_TRUE(Call("setDataBreakpoints",
                     {{"breakpoints", {{{"dataId", body["dataId"]}, {"accessType", "write"}}}}},
                     body));
    ASSERT_EQ(body.value("breakpoints", Json::array()).size(), 1u) << body.dump();
    EXPECT_EQ(body["breakpoints"][0].value("verified", false), true) << body.dump();
    ASSERT_TRUE(Call("continue", {{"threadId", 1}}, body));
    Json stop;
    ASSERT_TRUE(Stopped("data breakpoint", &stop));
    const std::string text = stop.value("text", "");
    EXPECT_NE(text.find("4019"), std::string::npos) << text;
    EXPECT_NE(text.find("0C"), std::string::npos) << text;
    ASSERT_TRUE(Frames(frames));
    ASSERT_EQ(frames.size(), 2u) << frames.dump();
    // Whether it stops on the store or just past it, it is in ADDIT, called from the loop.
    const std::string at = frames[0].value("instructionPointerReference", "");
    EXPECT_TRUE(at == "0x4019" || at == "0x401C") << at;
    EXPECT_EQ(frames[0].value("line", 0), at == "0x4019" ? LineOf("; 4019") : LineOf("; 401C"));
    EXPECT_EQ(frames[1].value("line", 0), callLine);
    ASSERT_TRUE(Call("setDataBreakpoints", {{"breakpoints", Json::array()}}, body));

    // The loop's third call (B counts 3, 2, 1) and ADI's second hit from here, in ADDIT's third
    // run after 5 + 7 + 7.
    const int adiLine = LineOf("ADI     7");
    ASSERT_TRUE(Call("setBreakpoints",
                     {{"source", source},
                      {"breakpoints",
                       {{{"line", callLine}, {"condition", "B=01"}},
                        {{"line", adiLine}, {"hitCondition", "2"}}}}},
                     body));
    ASSERT_TRUE(Call("continue", {{"threadId", 1}}, body));
    ASSERT_TRUE(Stopped("breakpoint"));
    EXPECT_EQ(Pc(), "0x400A");
    EXPECT_EQ(Evaluate("B"), "01H");
    EXPECT_EQ(Evaluate("[SUM]"), "13H");
    ASSERT_TRUE(Call("continue", {{"threadId", 1}}, body));
    ASSERT_TRUE(Stopped("breakpoint"));
    EXPECT_EQ(Pc(), "0x4017");
    EXPECT_EQ(Evaluate("A"), "13H");

    // Out of ADDIT, then one instruction on: the last DCR B.
    ASSERT_TRUE(Call("stepOut", {{"threadId", 1}}, body));
    ASSERT_TRUE(Stopped("step"));
    EXPECT_EQ(Pc(), "0x400D");
    EXPECT_EQ(Evaluate("[SUM]"), "1AH");
    ASSERT_TRUE(Call("stepIn", {{"threadId", 1}}, body));
    ASSERT_TRUE(Stopped("step"));
    EXPECT_EQ(Pc(), "0x400E");
    EXPECT_EQ(Evaluate("B"), "00H");
    ASSERT_TRUE(Call("setVariable",
                     {{"variablesReference", scopes["Registers"]}, {"name", "A"}, {"value", "3C"}},
                     body));
    EXPECT_EQ(body.value("value", ""), "3CH");
    EXPECT_EQ(Evaluate("A"), "3CH");

    // Memory: the OUT and HLT as assembled, and SUM written and read back.
    ASSERT_TRUE(
        Call("readMemory", {{"memoryReference", "0x4000"}, {"offset", 0x11}, {"count", 3}}, body));
    EXPECT_EQ(dap_test::FromBase64(body.value("data", "")),
              (std::vector<uint8_t>{0xD3, 0x40, 0x76}))
        << body.dump();
    ASSERT_TRUE(Call("writeMemory",
                     {{"memoryReference", "0x4020"}, {"data", dap_test::Base64({0x2A})}}, body));
    EXPECT_EQ(body.value("bytesWritten", 0), 1);
    EXPECT_EQ(Evaluate("[SUM]"), "2AH");
    ASSERT_TRUE(Call("readMemory", {{"memoryReference", "0x4020"}, {"count", 1}}, body));
    EXPECT_EQ(dap_test::FromBase64(body.value("data", "")), (std::vector<uint8_t>{0x2A}));
    ASSERT_TRUE(Call(
        "disassemble",
        {{"memoryReference", "0x4000"}, {"instructionOffset", 0}, {"instructionCount", 2}}, body));
    const Json instructions = body.value("instructions", Json::array());
    ASSERT_EQ(instructions.size(), 2u) << body.dump();
    EXPECT_EQ(instructions[0].value("address", ""), "0x4000");
    EXPECT_EQ(instructions[0].value("instruction", ""), "LXI SP,5000H");
    EXPECT_EQ(instructions[1].value("address", ""), "0x4003");

    // Out of the loop onto the moved breakpoint, then into the port nobody answers.
    ASSERT_TRUE(Call(
        "setBreakpoints",
        {{"source", source}, {"breakpoints", {{{"line", LineOf("; nothing listens")}}}}}, body));
    ASSERT_TRUE(Call("continue", {{"threadId", 1}}, body));
    ASSERT_TRUE(Stopped("breakpoint"));
    ASSERT_TRUE(Frames(frames));
    EXPECT_EQ(frames[0].value("instructionPointerReference", ""), "0x4011");
    EXPECT_EQ(frames[0].value("line", 0), outLine);
    // No earlier arrival there: going back ends where the program was loaded, not before it,
    // and running on comes back to the same place.
    ASSERT_TRUE(Call("reverseContinue", {{"threadId", 1}}, body));
    ASSERT_TRUE(Stopped("step"));
    EXPECT_EQ(Pc(), "0x4000");
    EXPECT_EQ(Evaluate("[SUM]"), "00H");
    ASSERT_TRUE(Call("stepBack", {{"threadId", 1}}, body));
    ASSERT_TRUE(Stopped("step"));
    EXPECT_EQ(Pc(), "0x4000");
    ASSERT_TRUE(Call("continue", {{"threadId", 1}}, body));
    ASSERT_TRUE(Stopped("breakpoint"));
    EXPECT_EQ(Pc(), "0x4011");
    EXPECT_EQ(Evaluate("[SUM]"), "1AH");
    ASSERT_TRUE(Call("setBreakpoints", {{"source", source}, {"breakpoints", Json::array()}}, body));
    ASSERT_TRUE(Call("continue", {{"threadId", 1}}, body));
    ASSERT_TRUE(Stopped("exception", &stop));
    EXPECT_FALSE(stop.value("text", "").empty()) << stop.dump();
    EXPECT_EQ(Pc(), "0x4011") << "a fault leaves PC on the instruction it abandoned";

    EXPECT_EQ(client.Close(), 0) << client.Error();
}

TEST_F(DapSession, ASourceThatDoesNotAssembleIsRefusedWithItsLines) {
    Json body;
    ASSERT_TRUE(Initialize(body));
    const std::string bad = folder.Write("bad.asm",
                                         "        ORG     4000H\n"
                                         "START:  MVI     A,1\n"
                                         "        MVI     Q,2\n"
                                         "        NOP\n"
                                         "        FOO     3\n");
    const Json refused = Launch(bad);
    ASSERT_TRUE(Answered("launch", refused));
    EXPECT_EQ(refused.value("success", true), false) << refused.dump();
    const std::string message = refused.value("message", "");
    for (const int line : {3, 5}) {
        const std::string n = std::to_string(line);
        EXPECT_TRUE(message.find("bad.asm:" + n) != std::string::npos ||
                    message.find("line " + n) != std::string::npos)
            << "line " << n << " in: " << message;
    }

    // The adapter is still there for a source that does.
    const Json launched = Launch(kSource);
    ASSERT_TRUE(Answered("launch", launched));
    ASSERT_TRUE(launched.value("success", false)) << launched.dump();
    ASSERT_TRUE(Answered("initialized", client.WaitEvent("initialized")));
    ASSERT_TRUE(Call("configurationDone", Json::object(), body));
    ASSERT_TRUE(Stopped("entry"));
    EXPECT_EQ(Pc(), "0x4000");
    EXPECT_EQ(Evaluate("[SUM]"), "00H");
    EXPECT_EQ(client.Close(), 0) << client.Error();
}

// A shell command's standard output, for the X tools the window case drives.
std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
        pclose(pipe);
    }
    return out;
}

// "window": true shows the machine's screen and takes the keyboard, while the adapter keeps the
// machine: a key typed into the window reaches the program waiting for it (the monitor's
// character input), and closing the window ends the session. Needs an X display of its own with
// xdotool, openbox and ImageMagick: run by ctest window.xvfb-dap-window under Xvfb, skipped
// elsewhere.
TEST_F(DapSession, WindowShowsTheScreenAndTakesTheKeyboard) {
    if (std::getenv("TEVRIN_DAP_WINDOW_TEST") == nullptr)
        GTEST_SKIP() << "run by window.xvfb-dap-window";
    const std::string source = folder.Write("key.asm",
                                            "        ORG     4000H\n"
                                            "START:  LXI     SP,5000H\n"
                                            "        CALL    0C006H  ; waits for a character\n"
                                            "        STA     KEY\n"
                                            "        CALL    0C003H  ; and shows it\n"
                                            "DONE:   JMP     DONE\n"
                                            "KEY:    DB      0\n");
    // A window manager, which closes the window as a user's click on its close button does.
    Shell("openbox < /dev/null > " + (folder / "openbox.log") + " 2>&1 &");
    Shell(
        "for i in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null |"
        " grep -q 'window id' && break; sleep 0.1; done");
    Json capabilities;
    ASSERT_TRUE(Initialize(capabilities));
    Json body;
    ASSERT_TRUE(
        Call("launch", {{"program", source}, {"window", true}, {"config", configPath}}, body));
    ASSERT_TRUE(Call("configurationDone", Json::object(), body));
    const std::string find =
        "timeout 30 xdotool search --sync --onlyvisible --name '^Tevrin Emulator \\(debugged\\)$'";
    std::string window = Shell(find + " | head -1");
    while (!window.empty() && window.back() == '\n') window.pop_back();
    ASSERT_FALSE(window.empty()) << "no window";
    // The monitor's banner, drawn before the program came: the picture's top rows, where it
    // stands, have more than the one colour of a blank screen.
    Shell("sleep 1.5; import -window root " + (folder / "shown.png"));
    const std::string colours = Shell(
        "eval $(xdotool getwindowgeometry --shell " + window + "); convert " +
        (folder / "shown.png") + " -crop 200x30+$((X + 8))+$((Y + 10)) +repage -format %k info:");
    EXPECT_GE(std::atoi(colours.c_str()), 2) << "screenshot " << (folder / "shown.png");
    Shell("xdotool windowactivate --sync " + window + " key --delay 80 a");
    Shell("sleep 1");
    ASSERT_TRUE(Call("pause", {{"threadId", 1}}, body));
    ASSERT_TRUE(Stopped("pause"));
    EXPECT_EQ(Evaluate("[KEY]"), "61H");
    // The program went on past its input: it waits at DONE.
    EXPECT_EQ(Pc(), "0x400C");
    ASSERT_TRUE(Call("continue", {{"threadId", 1}}, body));
    Shell("xdotool windowactivate --sync " + window + " key alt+F4");
    EXPECT_FALSE(client.WaitEvent("exited").is_null()) << client.Transcript();
    EXPECT_FALSE(client.WaitEvent("terminated").is_null()) << client.Transcript();
    EXPECT_EQ(client.Close(), 0);
}

}  // namespace
