#include "core/CStringGrid.h"
#include "core/FileHelpers.h"
#include "core/TextEncoding.h"
#include "support/CTempDatabase.h"

#include <gtest/gtest.h>

TEST(CStringGrid, NewGridIsEmptyAndReadsAsEmpty)
{
    CStringGrid grid;
    EXPECT_EQ(grid.RowCount(), 0);
    EXPECT_EQ(grid.ColumnCount(), 0);
    EXPECT_EQ(grid.GetCell(0, 0), "");
    EXPECT_EQ(grid.GetCellLength(0, 0), -1);
    EXPECT_EQ(grid.GetCellInt(0, 0), 0);
}

TEST(CStringGrid, WritingDoesNotGrowTheLogicalSize)
{
    CStringGrid grid;
    ASSERT_TRUE(grid.SetCell(3, 2, "x"));
    EXPECT_EQ(grid.RowCount(), 0);
    EXPECT_EQ(grid.ColumnCount(), 0);
    EXPECT_EQ(grid.GetCell(3, 2), "");
    ASSERT_TRUE(grid.SetSize(4, 3));
    EXPECT_EQ(grid.GetCell(3, 2), "x");
    // Padding rows hold column + 1 empty cells that count as stored.
    EXPECT_EQ(grid.GetCellLength(0, 0), 0);
    EXPECT_EQ(grid.GetCellLength(3, 1), 0);
}

TEST(CStringGrid, SetSizeTakesEffectOnlyOnceUntilClear)
{
    CStringGrid grid;
    grid.SetSize(2, 5);
    grid.SetSize(7, 9);
    EXPECT_EQ(grid.ColumnCount(), 2);
    EXPECT_EQ(grid.RowCount(), 5);
    EXPECT_TRUE(grid.Resize(7, 9));
    EXPECT_EQ(grid.ColumnCount(), 7);
    EXPECT_EQ(grid.RowCount(), 9);
    grid.Clear();
    grid.SetSize(4, 0);
    EXPECT_EQ(grid.ColumnCount(), 4);
    EXPECT_EQ(grid.RowCount(), 0);
}

TEST(CStringGrid, ResizeRejectsBadSizesWithoutChange)
{
    CStringGrid grid;
    grid.SetSize(2, 2);
    EXPECT_FALSE(grid.Resize(0, 3));
    EXPECT_FALSE(grid.Resize(2, -1));
    EXPECT_EQ(grid.ColumnCount(), 2);
    EXPECT_EQ(grid.RowCount(), 2);
}

TEST(CStringGrid, ShrinkingKeepsStoredCells)
{
    CStringGrid grid;
    grid.SetSize(2, 2);
    grid.SetCell(1, 1, "kept");
    grid.Resize(1, 1);
    EXPECT_EQ(grid.GetCell(1, 1), "");
    grid.Resize(2, 2);
    EXPECT_EQ(grid.GetCell(1, 1), "kept");
}

TEST(CStringGrid, FindRowFoldsOnlyAsciiAndNeedsEqualLength)
{
    CStringGrid grid;
    grid.SetSize(1, 3);
    grid.SetCell(0, 0, "CUSTOMER");
    grid.SetCell(0, 1, "EMPLOYEE");
    grid.SetCell(0, 2, "\xC3\x89T\xC3\x89");
    EXPECT_EQ(grid.FindRow(0, "employee", 1), 1);
    EXPECT_EQ(grid.FindRow(0, "EMPLOYEE ", 1), -1);
    EXPECT_EQ(grid.FindRow(0, "\xC3\x89t\xC3\x89", 1), 2);
    EXPECT_EQ(grid.FindRow(0, "\xC3\xA9T\xC3\xA9", 1), -1);
    EXPECT_EQ(grid.FindRow(5, "x", 1), -1);
}

TEST(CStringGrid, FindRowMatchesTwoEmptyTexts)
{
    CStringGrid grid;
    grid.SetSize(2, 2);
    grid.SetCell(1, 0, "a");
    grid.SetCell(0, 1, "");
    EXPECT_EQ(grid.FindRow(0, "", 1), 0);
}

TEST(CStringGrid, GetCellIntReadsLikeStrtol)
{
    CStringGrid grid;
    grid.SetSize(3, 1);
    grid.SetCell(0, 0, "42abc");
    grid.SetCell(1, 0, "  -7");
    grid.SetCell(2, 0, "abc");
    EXPECT_EQ(grid.GetCellInt(0, 0), 42);
    EXPECT_EQ(grid.GetCellInt(1, 0), -7);
    EXPECT_EQ(grid.GetCellInt(2, 0), 0);
}

TEST(CStringGrid, CopyCellTextNeedsRoomForTheTerminator)
{
    CStringGrid grid;
    grid.SetSize(1, 1);
    grid.SetCell(0, 0, "abcd");
    char buffer[8] = "zzzzzzz";
    grid.CopyCellText(0, 0, buffer, 4);
    EXPECT_STREQ(buffer, "");
    grid.CopyCellText(0, 0, buffer, 5);
    EXPECT_STREQ(buffer, "abcd");
}

TEST(CStringGrid, DeleteRowMovesLaterRowsUp)
{
    CStringGrid grid;
    grid.SetSize(1, 3);
    grid.SetCell(0, 0, "a");
    grid.SetCell(0, 1, "b");
    grid.SetCell(0, 2, "c");
    EXPECT_FALSE(grid.DeleteRow(3));
    EXPECT_EQ(grid.RowCount(), 3);
    EXPECT_TRUE(grid.DeleteRow(1));
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.GetCell(0, 1), "c");
}

TEST(CStringGrid, CopyToAndAppendRowToCarryCellsAndMarks)
{
    CStringGrid source;
    source.SetSize(2, 2);
    source.SetCell(0, 0, "a");
    source.SetCellMarked(1, 1, "", CStringGrid::MarkNull);
    CStringGrid copy;
    ASSERT_TRUE(source.CopyTo(copy));
    EXPECT_EQ(copy.ColumnCount(), 2);
    EXPECT_EQ(copy.RowCount(), 2);
    EXPECT_EQ(copy.GetCell(0, 0), "a");
    EXPECT_EQ(copy.GetCellLength(1, 0), 0);
    EXPECT_TRUE(copy.IsCellNull(1, 1));

    CStringGrid exported;
    exported.SetSize(2, 1);
    exported.SetCell(0, 0, "header");
    source.AppendRowTo(0, exported);
    source.AppendRowTo(1, exported);
    EXPECT_EQ(exported.RowCount(), 3);
    EXPECT_EQ(exported.GetCell(0, 1), "a");
    EXPECT_TRUE(exported.IsCellNull(1, 2));
}

TEST(CStringGrid, NullMarkReadsAsEmptyText)
{
    CStringGrid grid;
    grid.SetSize(2, 1);
    grid.SetCellMarked(0, 0, "", CStringGrid::MarkNull);
    grid.SetCell(1, 0, "");
    EXPECT_EQ(grid.GetCell(0, 0), "");
    EXPECT_TRUE(grid.IsCellNull(0, 0));
    EXPECT_FALSE(grid.IsCellNull(1, 0));
    grid.SetCell(0, 0, "now set");
    EXPECT_FALSE(grid.IsCellNull(0, 0));
}

TEST(CStringGrid, SaveToFileWritesExactBytes)
{
    CTempFolder folder;
    CStringGrid grid;
    grid.SetSize(2, 2);
    grid.SetCell(0, 0, "a");
    grid.SetCell(1, 0, "b");
    grid.SetCell(0, 1, "c");
    grid.SetCell(1, 1, "d");
    const std::u16string path = Utf8ToWide(folder.File("out.csv"));
    ASSERT_TRUE(grid.SaveToFile(path));
    EXPECT_EQ(ReadWholeFile(path), std::string("a;b  \r\nc;d  \r\n"));
    EXPECT_EQ(grid.FileName(), path);
    EXPECT_FALSE(grid.SaveToFile(u""));
}

TEST(CStringGrid, SaveToFileInACodePageDropsUnconvertibleCells)
{
    CTempFolder folder;
    CStringGrid grid;
    grid.SetSize(3, 1);
    grid.SetCell(0, 0, "\xC3\xA9");     // é exists in CP1252
    grid.SetCell(1, 0, "\xE4\xB8\xAD"); // 中 does not
    grid.SetCell(2, 0, "z");
    grid.SetCodePage(1252);
    const std::u16string path = Utf8ToWide(folder.File("out.csv"));
    ASSERT_TRUE(grid.SaveToFile(path));
    EXPECT_EQ(ReadWholeFile(path), std::string("\xE9;;z  \r\n"));
}

TEST(CStringGrid, SaveToFileFailsInAMissingFolder)
{
    CStringGrid grid;
    grid.SetSize(1, 1);
    EXPECT_FALSE(grid.SaveToFile(u"/nonexistent-folder/x.csv"));
    EXPECT_TRUE(grid.FileName().empty());
}
