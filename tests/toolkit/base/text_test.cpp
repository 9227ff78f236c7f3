// String functions: positions from 1, out-of-range arguments, conversions.
#include <gtest/gtest.h>

#include "text.h"

namespace {

TEST(StringFunctions, MidLeftRightMidFromAndCharAtFromOneBasedPositions) {
    const struct { const char *Text; int Position, Count; const char *Expected; } mids[] = {
        {"ABCDEF", 5, 10, "EF"}, {"ABC", 4, 1, ""},     {"ABC", 0, 2, "AB"},   {"ABC", 2, 0, ""},
        {"ABC", 1, 3, "ABC"},    {"äöü", 2, 1, "ö"},    {"", 1, 1, ""},        {"ABC", -5, 9, "ABC"},
    };
    for (const auto &c : mids) EXPECT_EQ(t_Mid(c.Text, c.Position, c.Count), c.Expected) << c.Text << " " << c.Position;
    const std::tuple<std::string (*)(std::string_view, int), int, const char *> cases[] = {
        {t_Left, 0, ""},    {t_Left, 2, "AB"},     {t_Left, 9, "ABC"},    {t_Right, 2, "BC"},   {t_Right, 9, "ABC"},
        {t_Right, 0, ""},   {t_MidFrom, 0, "ABC"}, {t_MidFrom, 3, "C"},   {t_MidFrom, 4, ""},   {t_CharAt, 2, "B"},
        {t_CharAt, 0, ""},  {t_CharAt, 4, ""},
    };
    for (const auto &[function, n, expected] : cases) EXPECT_EQ(function("ABC", n), expected) << n;
    EXPECT_EQ(t_Asc(""), 0);
    EXPECT_EQ(t_Asc("€x"), 0x20AC);
}

// Results of the string functions against what they must be.
TEST(StringFunctions, PositionsSpacesRepeatCenterJustifyNumbers) {
    const std::pair<int, int> positions[] = {{t_Position("A.B.C", ".", 3), 4}, {t_Position("A.B.C", ".", 1), 2},
                                             {t_Position("A.B.C", "x", 1), 0}, {t_Position("A.B.C", ".", 9), 0},
                                             {t_Position("ä.b", ".", 0), 2}};
    for (auto [got, expected] : positions) EXPECT_EQ(got, expected);
    const std::pair<std::string, const char *> texts[] = {
        {t_Spaces(3), "   "},        {t_Spaces(0), ""},         {t_Spaces(32768), ""},          {t_Repeat("ab", 3), "ababab"},
        {t_Repeat("", 3), ""},       {t_Repeat("ab", 0), ""},   {t_Center("  ab  ", 7), "  ab"}, {t_Center("abcdef", 3), "abcdef"},
        {t_Justify("ab", "cd", 3), "abc"}, {t_Justify("ab", "cd", 6), "ab  cd"}, {t_Justify("ab", "cd", 0), ""},
        {t_DecimalString(1.0), "1"}, {t_DecimalString(2.5), "2,5"}, {t_DecimalString(-0.25), "-0,25"},   // a comma, no trailing zero
        {t_DecimalString(100000.0), "100000"}, {t_Hex2(0x1AB), "AB"}, {t_FourCharCode(0x54455854), "TEXT"},
        {t_FourCharCode(0), "????"}, {t_FirstLine("ab\ncd\ref"), "ab\ncd"}, {t_FirstLine("ab\ncd"), "ab"},
        {t_FirstLine("abc"), "abc"}, {t_PathDirectory("/a/b/c.dsk"), "/a/b/"}, {t_PathDirectory("c.dsk"), ""},
        {t_PathFileName("/a/b/GAMES.DSK"), "GAMES.DSK"},
    };
    for (size_t i = 0; i < std::size(texts); i++) EXPECT_EQ(texts[i].first, texts[i].second) << i;
    EXPECT_EQ(t_Hex2Text(10), Text("0A"));
    EXPECT_EQ(t_Hex4Text(0x12345), Text("2345"));
    // Numbers padded and grouped.
    const struct { long long Value; char32_t Pad; int Width; bool Grouping; const char *Expected; } numbers[] = {
        {1234567, ' ', 12, true, "   1.234.567"}, {-5, '0', 3, false, "0-5"},   {1024, ' ', 0, true, "1.024"},
        {999, ' ', 0, true, "999"},                {-1234, ' ', 0, true, "-1.234"}, {0, ' ', 3, false, "  0"},
        {12, '0', 4, false, "0012"},
    };
    for (const auto &c : numbers)
        EXPECT_EQ(t_NumberString(c.Value, c.Pad, c.Width, c.Grouping), c.Expected) << c.Value;
}

TEST(TextBytes, CompareHashSplitJoin) {
    for (auto [a, b, order] : {std::tuple{"ab", "abc", -1}, {"abd", "abc", 1}, {"abc", "abc", 0}})
        EXPECT_EQ(t_TextCompare(Text(a), Text(b)), order) << a << " " << b;
    EXPECT_NE(t_TextHash(Text("ab")), t_TextHash(Text("ba")));
    EXPECT_EQ(t_TextHash(Text("ab")), t_TextHash(Text("ab")));

    std::vector<Text> parts = t_TextSplit(Text("a,,b,"), ',');
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[1], Text(""));
    EXPECT_EQ(parts[2], Text("b"));
    EXPECT_TRUE(t_TextSplit(Text(""), ',').empty());
    EXPECT_EQ(t_TextJoin(parts, ';'), Text("a;;b"));
    EXPECT_EQ(t_TextFill('x', 3), Text("xxx"));
    EXPECT_TRUE(t_TextFill('x', 0).empty());
}

TEST(TextBytes, UpperCaseAndValue) {
    Text in(std::vector<uint8_t>{0x73, 0x74, 0x72, 0x61, 0xDF, 0x65});
    Text out(std::vector<uint8_t>{0x53, 0x54, 0x52, 0x41, 0x53, 0x53, 0x45});
    EXPECT_EQ(t_TextUpperCase(in), out);
    EXPECT_EQ(t_TextUpperCase(Text(std::vector<uint8_t>{0xE5, 0xF7, 0xFF})), Text(std::vector<uint8_t>{0xE5, 0xF7, 0xFF}));
    for (auto [text, value] : {std::pair<const char *, long long>{"  42x", 42}, {" -  7", -7}, {"   ", 0},
                               {"99999999999999999999999", 999999999999999999LL}})
        EXPECT_EQ(t_TextValue(Text(text)), value) << text;
}

TEST(Conversions, TextToStringReadsEscapes) {
    Text escaped(std::vector<uint8_t>{0x1B, 0x30, 0x30, 0x45, 0x39, 0x1D});
    EXPECT_EQ(t_TextToString(escaped), "é");
    Text open(std::vector<uint8_t>{0x1B, 0x30, 0x30, 0x45, 0x39});
    EXPECT_EQ(t_Decode(t_TextToString(open)), (std::u32string{0x1B, 0x30, 0x30, 0x45, 0x39}));
    EXPECT_EQ(t_Decode(t_TextToString(Text(std::vector<uint8_t>{0xE9}))), std::u32string{0xE9});
    EXPECT_EQ(t_StringToText("é"), Text(std::vector<uint8_t>{0xC3, 0xA9}));
    // Bytes are UTF-8 when they can be, Latin-1 where they cannot.
    EXPECT_EQ(t_BytesToString(Text("caf\xC3\xA9")), "café");
    EXPECT_EQ(t_Decode(t_BytesToString(Text("caf\xE9"))), std::u32string(U"caf\u00E9"));
    EXPECT_EQ(t_BytesToString(Text("")), "");
}

TEST(Conversions, ConvertUniCodeMapsToToolkitCodes) {
    t_Converted c = t_ConvertUniCode("Ä€ʃ");
    EXPECT_EQ(t_Decode(c.Converted), (std::u32string{0xC4, 0xA4, 0x7F}));
    EXPECT_TRUE(c.Missing);

    t_Converted d = t_ConvertUniCode("Œ–“x”\nØæÆ…");
    EXPECT_EQ(t_Decode(d.Converted), std::u32string(U"OE-\"x\"\r0aeAE\u00BF"));
    EXPECT_FALSE(d.Missing);
    // Escapes for paste and copy.
    std::string pasted = t_UnicodeEscapes("a€\nb");
    EXPECT_EQ(pasted, std::string("a\x1B" "20AC\x1D\rb"));
    EXPECT_EQ(t_ResolveEscapes(pasted), "a€\rb");
    EXPECT_EQ(t_ResolveEscapes("\x1B" "12"), "\x1B" "12");
}

}  // namespace
