#include "frontend/dap/DapFraming.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> TakeAll(dap::FrameParser& parser) {
    std::vector<std::string> bodies;
    while (std::optional<std::string> body = parser.Take()) bodies.push_back(*body);
    return bodies;
}

// What an editor sends: extra headers in any case and spacing, a body whose text looks like a
// header, a body of multi-byte characters (the length counts bytes), an empty body.
const std::string kStream =
    "Content-Type: application/vscode-jsonrpc; charset=utf-8\r\n"
    "content-LENGTH:   29  \r\n\r\n"
    "{\"x\":\"\r\n\r\nContent-Length: 3\"}"
    "Content-Length: 13\r\n\r\n"
    "{\"s\":\"\xC3\xA4\xE2\x82\xAC\"}"
    "Content-Length: 0\r\n\r\n"
    "Content-Length: 2\r\nContent-Length: 2\r\n\r\n{}";
const std::vector<std::string> kBodies = {"{\"x\":\"\r\n\r\nContent-Length: 3\"}",
                                          "{\"s\":\"\xC3\xA4\xE2\x82\xAC\"}", "", "{}"};

TEST(DapFraming, BodiesComeOutWholeHoweverTheStreamIsCut) {
    for (const size_t chunk : {kStream.size(), size_t{1}, size_t{2}, size_t{5}, size_t{13}}) {
        dap::FrameParser parser;
        std::vector<std::string> bodies;
        for (size_t at = 0; at < kStream.size(); at += chunk) {
            parser.Feed(kStream.data() + at, std::min(chunk, kStream.size() - at));
            for (std::string& body : TakeAll(parser)) bodies.push_back(body);
        }
        EXPECT_EQ(bodies, kBodies) << "in chunks of " << chunk;
        EXPECT_FALSE(parser.Broken()) << parser.Error();
    }

    // A message cut short waits for its rest; what Frame makes reads back.
    dap::FrameParser parser;
    const std::string framed = dap::Frame("{\"seq\":1}");
    EXPECT_EQ(framed, "Content-Length: 9\r\n\r\n{\"seq\":1}");
    parser.Feed(framed.data(), framed.size() - 1);
    EXPECT_EQ(parser.Take(), std::nullopt);
    parser.Feed(framed.data() + framed.size() - 1, 1);
    EXPECT_EQ(parser.Take(), "{\"seq\":1}");
    EXPECT_EQ(parser.Take(), std::nullopt);
}

TEST(DapFraming, AnUnreadableHeaderGivesTheStreamUp) {
    const std::string eightKb(dap::FrameParser::kMaxHeader, 'x');
    const std::vector<std::string> broken = {
        "Content-Type: text\r\n\r\n{}",                         // no length
        "Content-Length: 12a\r\n\r\n",                          // not a number
        "Content-Length: -1\r\n\r\n",                           //
        "Content-Length:\r\n\r\n",                              //
        "Content-Length: 16777217\r\n\r\n",                     // one byte over the limit
        "Content-Length: 900000000000000000000000002\r\n\r\n",  // past any integer
        "Content-Length: 2\r\nno colon here\r\n\r\n{}",         //
        "Content-Length: 2\n\n{}",                              // bare line feeds
        "Content-Length: 2\r\nContent-Length: 3\r\n\r\n{}",     // two lengths
        "X-Pad: " + eightKb,                                    // a header with no end in sight
    };
    const std::string good = dap::Frame("{}");
    for (const std::string& header : broken) {
        dap::FrameParser parser;
        // The message before the bad header is still delivered.
        const std::string stream = good + header;
        parser.Feed(stream.data(), stream.size());
        EXPECT_EQ(parser.Take(), "{}") << header;
        EXPECT_EQ(parser.Take(), std::nullopt) << header;
        EXPECT_TRUE(parser.Broken()) << header;
        EXPECT_FALSE(parser.Error().empty()) << header;
        // Nothing after it can be trusted to start a message.
        parser.Feed(good.data(), good.size());
        EXPECT_EQ(parser.Take(), std::nullopt) << header;
    }

    // The limits themselves are allowed: a body of exactly kMaxBody is awaited, a header block
    // of exactly kMaxHeader bytes is read.
    dap::FrameParser largest;
    const std::string atLimit = "Content-Length: 16777216\r\n\r\n";
    largest.Feed(atLimit.data(), atLimit.size());
    EXPECT_EQ(largest.Take(), std::nullopt);
    EXPECT_FALSE(largest.Broken()) << largest.Error();
    const std::string lengthLine = "Content-Length: 2\r\n";
    const std::string padded =
        lengthLine +
        "X-Pad: " + std::string(dap::FrameParser::kMaxHeader - lengthLine.size() - 11, 'x') +
        "\r\n\r\n" + "{}";
    dap::FrameParser full;
    full.Feed(padded.data(), padded.size());
    EXPECT_EQ(full.Take(), "{}") << full.Error();
}

TEST(DapFraming, MessagesCrossAPipeWholeAndAGoneReaderIsAnError) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    // Far more than a pipe holds, so the writer is cut into partial writes.
    std::string large = "\"";
    for (int i = 0; large.size() < 1'000'000; ++i) large += static_cast<char>('a' + i % 26);
    large += "\"";
    bool written = false;
    std::thread writer([&] {
        written = dap::WriteMessage(fds[1], large) && dap::WriteMessage(fds[1], "{\"seq\":2}");
        ::close(fds[1]);
    });
    dap::FrameParser parser;
    std::string first, second, third;
    EXPECT_TRUE(dap::ReadMessage(fds[0], parser, first));
    EXPECT_TRUE(dap::ReadMessage(fds[0], parser, second));
    EXPECT_FALSE(dap::ReadMessage(fds[0], parser, third)) << "end of file";
    writer.join();
    EXPECT_TRUE(written);
    EXPECT_EQ(first, large);
    EXPECT_EQ(second, "{\"seq\":2}");
    ::close(fds[0]);

    // Without the block on SIGPIPE this would end the test program.
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    EXPECT_FALSE(dap::WriteMessage(fds[1], "{}"));
    ::close(fds[1]);
}

}  // namespace
