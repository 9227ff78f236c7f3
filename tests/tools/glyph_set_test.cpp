// The drawn graphics characters: frames close, lines and icons join across
// cells, blocks fill what they claim.
#include <gtest/gtest.h>

#include <algorithm>

#include "character_set.h"
#include "display_support.h"
#include "frame_canvas.h"
#include "text.h"

// The dialog frame as the toolkit lays it out (columns 2..11, lines 2..7,
// inside a margin of one cell), drawn with the generated glyphs.
TEST(GlyphSet, DialogFrameIsClosed) {
    resetDisplay();
    initTextWindow(0, 8, 13, 9, solidFont(2, 2));
    t_Dialog(0, "Test", 2, 2, 11, 7);
    FrameCanvas canvas(13, 9, fg_DrawnCell);
    for (int line = 1; line <= 9; line++)
        for (int column = 1; column <= 13; column++)
            canvas.put(column, line, uint8_t(test_Code(column, line)), test_Colour(column, line) == 0x0C);
    auto [x, y] = FrameCanvas::centre(6, 4);
    const auto inside = canvas.flood(x, y);
    EXPECT_FALSE(canvas.reachesBorder(inside));
    // The flood did fill the framed area: its corner cells are reached.
    for (auto [column, line] : {std::pair{3, 3}, {10, 3}, {3, 6}, {10, 6}}) {
        auto [cx, cy] = FrameCanvas::centre(column, line);
        EXPECT_TRUE(inside[size_t(cy) * canvas.width() + cx]) << column << "," << line;
    }
}

TEST(GlyphSet, CentredBoxLinesMeetTheirNeighbours) {
    struct Arms { uint8_t Code; bool Left, Right, Up, Down; };
    const Arms table[] = {
        {146, false, true, false, true}, {147, true, false, false, true}, {148, false, true, true, false},
        {149, true, false, true, false}, {150, false, true, true, true},  {151, true, false, true, true},
        {152, true, true, false, true},  {153, true, true, true, false},  {155, true, true, false, false},
        {156, true, true, false, false}, {157, false, false, true, true}, {158, true, true, true, true},
    };
    for (const Arms &a : table) {
        const fg_Cell c = fg_DrawnCell(a.Code);
        for (int i = 0; i < fg_LineWidth; ++i) {
            EXPECT_EQ(ink(c, 0, fg_MidY + i), a.Left) << int(a.Code);
            EXPECT_EQ(ink(c, fg_CellWidth - 1, fg_MidY + i), a.Right) << int(a.Code);
            EXPECT_EQ(ink(c, fg_MidX + i, 0), a.Up) << int(a.Code);
            EXPECT_EQ(ink(c, fg_MidX + i, fg_CellHeight - 1), a.Down) << int(a.Code);
        }
        // Nothing touches an edge outside the line.
        EXPECT_FALSE(ink(c, 0, 0) || ink(c, 15, 0) || ink(c, 0, 31) || ink(c, 15, 31)) << int(a.Code);
    }
}

TEST(GlyphSet, PiecesSideBySideJoinAndBlocksCoverWhatTheyClaim) {
    // Left piece, right piece: the columns where they touch carry the same ink.
    const std::pair<uint8_t, uint8_t> neighbours[] = {
        {129, 131}, {130, 131}, {131, 131}, {131, 132}, {159, 159}, {159, 18}, {19, 159},
        {140, 140}, {141, 141}, {155, 156}, {156, 155}, {0, 0}, {6, 6}, {5, 5}, {7, 7},
    };
    for (auto [l, r] : neighbours) {
        const fg_Cell a = fg_DrawnCell(l), b = fg_DrawnCell(r);
        for (int y = 0; y < fg_CellHeight; ++y) {
            if (l == 5 || l == 6 || l == 7) // shades alternate instead
                EXPECT_EQ(ink(a, 14, y), ink(b, 0, y)) << int(l) << " row " << y;
            else if (l == 159 && r == 18)
                EXPECT_TRUE(!ink(b, 0, y) || ink(a, 15, y)) << "cap ink without rule, row " << y;
            else if (l == 19 && r == 159)
                EXPECT_TRUE(!ink(a, 15, y) || ink(b, 0, y)) << "cap ink without rule, row " << y;
            else
                EXPECT_EQ(ink(a, 15, y), ink(b, 0, y)) << int(l) << "|" << int(r) << " row " << y;
        }
    }
    // The caps meet the inverse title with a full column of ink.
    for (int y = 0; y < fg_CellHeight; ++y) {
        EXPECT_TRUE(ink(fg_DrawnCell(18), 15, y)) << y;
        EXPECT_TRUE(ink(fg_DrawnCell(19), 0, y)) << y;
    }
    // Blocks cover what they claim.
    const std::pair<uint8_t, double> table[] = {
        {0, 1.0},   {1, 0.5},   {2, 0.5},   {3, 0.5},  {4, 0.5},  {5, 0.25}, {6, 0.5},
        {7, 0.75},  {8, 0.25},  {9, 0.25},  {10, 0.25}, {11, 0.25}, {12, 0.5}, {13, 0.5},
    };
    for (auto [code, share] : table)
        EXPECT_EQ(inkCount(fg_DrawnCell(code)), static_cast<int>(share * fg_CellWidth * fg_CellHeight)) << int(code);
    EXPECT_TRUE(ink(fg_DrawnCell(1), 0, 0) && !ink(fg_DrawnCell(1), 0, 31));
    EXPECT_TRUE(ink(fg_DrawnCell(4), 15, 0) && !ink(fg_DrawnCell(4), 0, 0));
}

TEST(GlyphSet, GraphicsRangesHaveNoHolesAndSymbolsSitWhereTheHostPutsThem) {
    for (int code = 0; code < 32; ++code)
        EXPECT_NE(fg_SourceFor(static_cast<uint8_t>(code)).Kind, fg_GlyphKind::Blank) << code;
    for (int code = 127; code <= 160; ++code) {
        const fg_GlyphSource source = fg_SourceFor(static_cast<uint8_t>(code));
        ASSERT_NE(source.Kind, fg_GlyphKind::Blank) << code;
        if (source.Kind == fg_GlyphKind::Drawn) {
            EXPECT_GT(inkCount(fg_DrawnCell(static_cast<uint8_t>(code))), 3) << code;
        }
    }
    EXPECT_EQ(fg_SourceFor(' ').Char, U' ');
    EXPECT_EQ(fg_SourceFor(0xE9).Char, U'\u00E9');
    // The toolkit symbols are where the host conversion puts them.
    ASSERT_EQ(fg_ToolkitSymbols().size(), 27u);
    for (const fg_ToolkitSymbol &s : fg_ToolkitSymbols()) {
        const t_Converted converted = t_ConvertUniCode(t_EncodeChar(s.Char));
        EXPECT_FALSE(converted.Missing) << int(s.Code);
        EXPECT_EQ(t_Decode(converted.Converted), std::u32string(1, s.Code)) << int(s.Code);
        EXPECT_EQ(fg_SourceFor(s.Code).Char, s.Char) << int(s.Code);
    }
}
