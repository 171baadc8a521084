#include <gtest/gtest.h>

#include "frontend/InstanceMessages.h"

namespace {

using instance::Request;

TEST(InstanceMessages, OneNamePerProgramAndUser) {
    const std::string exe = "/opt/tevrin/tevrinemu", config = "/opt/tevrin/TevrinEmu.xml";
    const std::string name = instance::ServerName(exe, config, 1000);
    EXPECT_EQ(name, instance::ServerName(exe, config, 1000));
    EXPECT_NE(name, instance::ServerName("/opt/tevrin2/tevrinemu", config, 1000));
    EXPECT_NE(name, instance::ServerName(exe, "/tmp/test.xml", 1000));
    EXPECT_NE(name, instance::ServerName(exe, config, 1001));
    EXPECT_EQ(name.rfind("tevrinemu-1000-", 0), 0u);
    EXPECT_LT(name.size(), 40u);  // socket paths are short
}

TEST(InstanceMessages, RequestsSurviveTheTripInAnyPieces) {
    std::string lastPath;
    // A second start without an argument, one with a relative file, one with an empty one.
    const std::string bytes =
        instance::Encode(instance::RequestFor(std::nullopt, "/home/u")) +
        instance::Encode(instance::RequestFor(std::string("games/Jet Set.pta"), "/home/u")) +
        instance::Encode(instance::RequestFor(std::string(""), "/elsewhere"));
    instance::Decoder decoder(lastPath);
    std::vector<Request> got;
    for (char c : bytes) {
        for (Request& r : decoder.Feed(std::string_view(&c, 1))) got.push_back(r);
    }
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].kind, Request::Kind::Front);
    EXPECT_EQ(got[1].kind, Request::Kind::Open);
    EXPECT_EQ(got[1].path, "/home/u/games/Jet Set.pta");
    EXPECT_EQ(got[2].kind, Request::Kind::Open);
    EXPECT_EQ(got[2].path, "/home/u/games/Jet Set.pta");

    // A later connection's empty argument opens the same file again; a first one has nothing.
    instance::Decoder later(lastPath);
    auto again = later.Feed(instance::Encode(instance::RequestFor(std::string(""), "/")));
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].path, "/home/u/games/Jet Set.pta");
    std::string none;
    instance::Decoder fresh(none);
    auto front = fresh.Feed(instance::Encode(instance::RequestFor(std::string(""), "/")));
    ASSERT_EQ(front.size(), 1u);
    EXPECT_EQ(front[0].kind, Request::Kind::Front);
}

TEST(InstanceMessages, GarbageIsRefusedWithoutOpeningAnything) {
    for (const char* bad : {"GET / HTTP/1.1\n", "TEVRIN1 O 99999999\n", "TEVRIN1 X 0\n",
                            "TEVRIN1 F 3\nabc", "TEVRIN1 O -1\n", "TEVRIN1 O 4x\nabcd",
                            "TEVRIN1 O 3 and then a very long header without an end"}) {
        std::string last;
        instance::Decoder decoder(last);
        EXPECT_TRUE(decoder.Feed(bad).empty()) << bad;
        EXPECT_TRUE(decoder.Failed()) << bad;
        EXPECT_TRUE(decoder.Feed(instance::Encode({Request::Kind::Front, ""})).empty());
    }
}

}  // namespace
