#include "host/lang/IniFile.h"

#include <gtest/gtest.h>

#include "support/TempFolder.h"

namespace {

IniFile Parse(std::string_view text) {
    IniFile ini;
    ini.LoadText(text);
    return ini;
}

TEST(IniFile, SectionsKeysCommentsAndBlanksFollowTheRules) {
    IniFile ini = Parse(
        "stray=before any section\n"
        "; comment=no\n"
        "  [ FormSettings ]  \n"
        "\tlabel.LblVolumeTape.Caption =  Tape volume \t\n"
        "no equals sign here\n"
        "=empty key\n"
        "a=\"x;y\"\n"
        "b=value ; note\n"
        "c='single'\n"
        "d=\"\n"
        "e=\"unbalanced;cut\n"
        "f=\"both\" ; with comment\n"
        "g=a=b\n");
    ASSERT_EQ(ini.Sections().size(), 1u);
    EXPECT_EQ(ini.Sections()[0].name, "FormSettings");
    EXPECT_EQ(ini.Value("formsettings", "LABEL.lblvolumetape.caption"), "Tape volume");
    EXPECT_EQ(ini.Value("FormSettings", "a"), "x;y");
    EXPECT_EQ(ini.Value("FormSettings", "b"), "value");
    EXPECT_EQ(ini.Value("FormSettings", "c"), "single");
    EXPECT_EQ(ini.Value("FormSettings", "d"), "\"");
    EXPECT_EQ(ini.Value("FormSettings", "e"), "\"unbalanced;cut");
    EXPECT_EQ(ini.Value("FormSettings", "f"), "both");
    EXPECT_EQ(ini.Value("FormSettings", "g"), "a=b");
    EXPECT_EQ(ini.Find("FormSettings", "stray"), nullptr);
    EXPECT_EQ(ini.Sections()[0].entries.size(), 8u);
    EXPECT_EQ(ini.Value("FormSettings", "missing", "fallback"), "fallback");
    EXPECT_EQ(ini.Value("Other", "a"), "");
}

TEST(IniFile, RepeatedSectionsMergeAndTheFirstOfRepeatedKeysAnswers) {
    IniFile ini = Parse("[A]\nk=1\n[B]\nk=2\n[a]\nk=3\nj=4\n");
    ASSERT_EQ(ini.Sections().size(), 2u);
    EXPECT_EQ(ini.Value("A", "k"), "1");
    EXPECT_EQ(ini.Value("A", "j"), "4");
    EXPECT_EQ(ini.Sections()[0].entries.size(), 3u);  // every entry kept, in file order
}

TEST(IniFile, AnyLineEndWorks) {
    IniFile ini = Parse("[S]\r\na=1\rb=2\r\n\r\nc=3\n");
    EXPECT_EQ(ini.Value("S", "a"), "1");
    EXPECT_EQ(ini.Value("S", "b"), "2");
    EXPECT_EQ(ini.Value("S", "c"), "3");
}

TEST(IniFile, OddEncodingsBecomeValidUtf8) {
    EXPECT_EQ(Parse("\xEF\xBB\xBF[S]\nk=Gr\xC3\xB6\xC3\x9F\x65\n").Value("S", "k"),
              "Gr\u00F6\u00DFe");
    // UTF-16 with byte-order marks, both orders: "[S]\nk=\u00E9\U0001F600".
    std::string le("\xFF\xFE[\0S\0]\0\n\0k\0=\0\xE9\0\x3D\xD8\x00\xDE", 20);
    EXPECT_EQ(Parse(le).Value("S", "k"), "\u00E9\U0001F600");
    std::string be("\xFE\xFF\0[\0S\0]\0\n\0k\0=\0\xE9\xD8\x3D\xDE\x00", 20);
    EXPECT_EQ(Parse(be).Value("S", "k"), "\u00E9\U0001F600");
    // Latin-1 bytes, a lone continuation byte, a truncated sequence, an encoded surrogate.
    EXPECT_EQ(Parse("[S]\nk=\xE9t\xE9 \x80 \xE2\x82 \xED\xA0\x80\n").Value("S", "k"),
              "\uFFFDt\uFFFD \uFFFD \uFFFD\uFFFD \uFFFD\uFFFD\uFFFD");
    // A lone UTF-16 surrogate and an odd trailing byte.
    std::string lone(
        "\xFF\xFE[\0S\0]\0\n\0k\0=\0\x00\xDC"
        "A",
        17);
    EXPECT_EQ(Parse(lone).Value("S", "k"), "\uFFFD\uFFFD");
}

TEST(IniFile, VeryLongLinesAndNulBytesAreHandled) {
    std::string longValue(1 << 20, 'x');
    std::string text = "[S]\nk=" + longValue + "\n";
    text += std::string("n=a\0b\n", 6);
    IniFile ini = Parse(text);
    EXPECT_EQ(ini.Value("S", "k"), longValue);
    EXPECT_EQ(ini.Value("S", "n"), std::string("a\0b", 3));
}

TEST(IniFile, MissingFileReadsAsEmpty) {
    testing_support::TempFolder folder;
    IniFile ini;
    ini.LoadText("[S]\nk=1\n");
    EXPECT_FALSE(ini.LoadFile(folder / "nothing.ini"));
    EXPECT_TRUE(ini.Sections().empty());
    EXPECT_TRUE(ini.LoadFile(folder.Write("x.ini", "[S]\nk=2\nCharset= 7 \n")));
    EXPECT_EQ(ini.IntValue("S", "k", 0), 2);
    EXPECT_EQ(ini.IntValue("S", "charset", 0), 7);
    EXPECT_EQ(ini.IntValue("S", "nothing", -1), -1);
}

}  // namespace
