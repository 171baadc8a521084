#include "host/config/ConfigAccessors.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using namespace config;

class ConfigAccessors : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(doc_.load_string(
            "<S i=\"42\" neg=\"-3\" plus=\"+7\" blanks=\" 12 \" junk=\"12abc\" "
            "huge=\"99999999999\" "
            "empty=\"\" t=\"true\" f=\"false\" cap=\"True\" one=\"1\" word=\"normal\">"
            "<Mem1> 4096 </Mem1><Bad>x1</Bad></S>"));
        node_ = doc_.child("S");
    }
    pugi::xml_document doc_;
    pugi::xml_node node_;
};

TEST_F(ConfigAccessors, IntegersReadOnlyWhenTheWholeTextIsADecimalNumber) {
    EXPECT_EQ(GetIntAttr(node_, "i", 0), 42);
    EXPECT_EQ(GetIntAttr(node_, "neg", 0), -3);
    EXPECT_EQ(GetIntAttr(node_, "plus", 0), 7);
    EXPECT_EQ(GetIntAttr(node_, "blanks", 0), 12);
    EXPECT_EQ(GetIntAttr(node_, "junk", 5), 5);
    EXPECT_EQ(GetIntAttr(node_, "huge", 5), 5);
    EXPECT_EQ(GetIntAttr(node_, "empty", 5), 5);
    EXPECT_EQ(GetIntAttr(node_, "missing", 5), 5);
    EXPECT_EQ(GetIntAttr(pugi::xml_node(), "i", 5), 5);
    EXPECT_EQ(GetChildInt(node_, "Mem1", 0), 4096);
    EXPECT_EQ(GetChildInt(node_, "Bad", 9), 9);
    EXPECT_EQ(GetChildInt(node_, "Mem2", 9), 9);
}

TEST_F(ConfigAccessors, BooleansAreExactlyTrueOrFalse) {
    EXPECT_TRUE(GetBoolAttr(node_, "t", false));
    EXPECT_FALSE(GetBoolAttr(node_, "f", true));
    EXPECT_FALSE(GetBoolAttr(node_, "cap", false));  // a capital T is no "true"
    EXPECT_TRUE(GetBoolAttr(node_, "cap", true));
    EXPECT_FALSE(GetBoolAttr(node_, "one", false));
    EXPECT_TRUE(GetBoolAttr(node_, "missing", true));
}

TEST_F(ConfigAccessors, WordsCompareExactlyAndAMissingAttributeMatchesNothing) {
    EXPECT_TRUE(AttrIs(node_, "word", "normal"));
    EXPECT_FALSE(AttrIs(node_, "word", "Normal"));
    EXPECT_FALSE(AttrIs(node_, "word", "normal "));
    EXPECT_FALSE(AttrIs(node_, "missing", ""));
    EXPECT_TRUE(AttrIs(node_, "empty", ""));
    EXPECT_EQ(GetStrAttr(node_, "missing"), "");
}

TEST_F(ConfigAccessors, WritesReplaceOrAddAndDoNothingOnAMissingNode) {
    SetIntAttr(node_, "i", -17);
    SetBoolAttr(node_, "new-flag", true);
    SetStrAttr(node_, "word", "double");
    EXPECT_EQ(GetStrAttr(node_, "i"), "-17");
    EXPECT_EQ(GetStrAttr(node_, "new-flag"), "true");
    EXPECT_EQ(GetStrAttr(node_, "word"), "double");
    SetIntAttr(pugi::xml_node(), "i", 1);
    SetElementText(pugi::xml_node(), "x");
    SetElementText(node_.child("Mem1"), "8");
    EXPECT_EQ(GetElementText(node_.child("Mem1")), "8");
}

struct PositionCase {
    const char* x;
    const char* y;
    int width, height;
    int expectedX, expectedY;
};

void PrintTo(const PositionCase& c, std::ostream* out) {
    *out << (c.x != nullptr ? c.x : "-") << "," << (c.y != nullptr ? c.y : "-") << " " << c.width
         << "x" << c.height;
}

class WindowPosition : public ::testing::TestWithParam<PositionCase> {};

TEST_P(WindowPosition, KeepsTheWindowOnTheScreen) {
    pugi::xml_document doc;
    pugi::xml_node node = doc.append_child("Screen");
    if (GetParam().x != nullptr) node.append_attribute("x").set_value(GetParam().x);
    if (GetParam().y != nullptr) node.append_attribute("y").set_value(GetParam().y);
    WindowPos pos = GetWindowPos(node, GetParam().width, GetParam().height, {1920, 1080});
    EXPECT_EQ(pos.x, GetParam().expectedX);
    EXPECT_EQ(pos.y, GetParam().expectedY);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowPosition,
    ::testing::Values(PositionCase{"100", "200", 500, 400, 100, 200},
                      PositionCase{nullptr, nullptr, 500, 400, 0, 0},
                      PositionCase{"-50", "-1", 500, 400, 0, 0},
                      PositionCase{"1800", "900", 500, 400, 1420, 680},  // pulled back
                      PositionCase{"10", "10", 2500, 1500, 0, 0},        // larger than the screen
                      PositionCase{"2147483647", "2147483647", 500, 400, 1420, 680},
                      PositionCase{"abc", "12.5", 500, 400, 0, 0}));

TEST(RemoveChildAt, TakesTheElementWithTheWhitespaceBeforeIt) {
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string("<R>\n  <A>one</A>\n  <B>two</B>\n</R>",
                                pugi::parse_default | pugi::parse_ws_pcdata));
    pugi::xml_node r = doc.child("R");
    EXPECT_EQ(RemoveChildAt(r, 0), "");  // the whitespace itself is not an element
    EXPECT_EQ(RemoveChildAt(r, 9), "");
    EXPECT_EQ(RemoveChildAt(r, -1), "");
    EXPECT_EQ(RemoveChildAt(r, 1), "one");
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw | pugi::format_no_declaration);
    EXPECT_EQ(out.str(), "<R>\n  <B>two</B>\n</R>");
}

}  // namespace
