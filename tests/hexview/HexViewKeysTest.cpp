#include "hexview/HexView.h"

#include "KeyStrokes.h"

#include <QClipboard>
#include <QGuiApplication>
#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint8_t> contents(const HexView& view)
{
    std::vector<uint8_t> bytes(view.byteCount());
    view.copyOut(bytes.data(), 0, view.byteCount());
    return bytes;
}

struct EditCase {
    const char* name;
    std::vector<uint8_t> loaded;
    const char* keys;
    std::vector<uint8_t> expected;
    uint32_t cursor;
};

class HexViewEditing : public testing::TestWithParam<EditCase> {};

TEST_P(HexViewEditing, ChangesBytesAndMovesTheCaret)
{
    const EditCase& test = GetParam();
    HexView view;
    view.resize(700, 300);
    view.show();
    view.load(test.loaded.data(), static_cast<uint32_t>(test.loaded.size()));
    sendKeys(view, QString::fromLatin1(test.keys));
    EXPECT_EQ(contents(view), test.expected);
    EXPECT_EQ(view.cursorPosition(), test.cursor);
}

const std::vector<uint8_t> Three{0x00, 0x11, 0x22};

INSTANTIATE_TEST_SUITE_P(
    Cases, HexViewEditing,
    testing::Values(
        EditCase{"OverwriteHexByte", Three, "a5", {0xA5, 0x11, 0x22}, 1},
        EditCase{"OverwriteHighNibbleOnly", Three, "<Right>c", {0x00, 0xC1, 0x22}, 1},
        EditCase{"NonHexIgnoredInHexField", Three, "gz ", Three, 0},
        EditCase{"OverwriteText", Three, "<Tab>hi", {0x68, 0x69, 0x22}, 2},
        EditCase{"TabBackToHex", Three, "<Tab>h<Tab>1", {0x68, 0x11, 0x22}, 1},
        EditCase{"OverwriteStopsAtTheEnd", Three, "<C-End>ABCDEF<Tab>xyz", {0x00, 0x11, 0xAB}, 3},
        EditCase{"DeleteIgnoredInOverwrite", Three, "<Del><BS>", Three, 0},
        EditCase{"InsertHexByte", Three, "<Ins><Right>A5", {0x00, 0xA5, 0x11, 0x22}, 2},
        EditCase{"InsertOneDigit", Three, "<Ins>7", {0x70, 0x00, 0x11, 0x22}, 0},
        EditCase{"InsertAtTheEnd", Three, "<Ins><C-End>FE<Tab>!", {0x00, 0x11, 0x22, 0xFE, 0x21}, 5},
        EditCase{"InsertText", Three, "<Ins><Tab><Right>ok", {0x00, 0x6F, 0x6B, 0x11, 0x22}, 3},
        EditCase{"DeleteForward", Three, "<Ins><Right><Del>", {0x00, 0x22}, 1},
        EditCase{"DeleteBackward", Three, "<Ins><Right><BS>", {0x11, 0x22}, 0},
        EditCase{"BackspaceAtStartDeletesNothing", Three, "<Ins><BS>", Three, 0},
        EditCase{"DeleteSelection", Three, "<Ins><Right><S-Right><S-Right><Del>", {0x00}, 1},
        EditCase{"BackspaceSelection", Three, "<Ins><S-Right><S-Right><BS>", {0x22}, 0},
        EditCase{"DeleteAtTheEndDeletesNothing", Three, "<Ins><C-End><Del>", Three, 3},
        EditCase{"LeavingInsertModePullsTheCaretBack", Three, "<Ins><C-End><Ins>9", {0x00, 0x11, 0x92}, 2}),
    [](const testing::TestParamInfo<EditCase>& info) { return std::string(info.param.name); });

struct MoveCase {
    const char* name;
    uint32_t start;
    const char* keys;
    uint32_t expected;
};

class HexViewNavigation : public testing::TestWithParam<MoveCase> {};

// 100 bytes: six full rows and four bytes on the seventh.
TEST_P(HexViewNavigation, MovesTheCaretWithinTheContents)
{
    const MoveCase& test = GetParam();
    std::vector<uint8_t> bytes(100, 0x55);
    HexView view;
    view.resize(700, 300);
    view.show();
    view.load(bytes.data(), 100);
    view.setCursorPosition(test.start);
    sendKeys(view, QString::fromLatin1(test.keys));
    EXPECT_EQ(view.cursorPosition(), test.expected);
    EXPECT_FALSE(view.hasSelection());
}

INSTANTIATE_TEST_SUITE_P(Cases, HexViewNavigation,
                         testing::Values(MoveCase{"Right", 5, "<Right>", 6},
                                         MoveCase{"LeftAtStart", 0, "<Left>", 0},
                                         MoveCase{"RightAtLastByte", 99, "<Right>", 99},
                                         MoveCase{"Down", 5, "<Down>", 21},
                                         MoveCase{"DownIntoShortLastRow", 80, "<Down>", 96},
                                         MoveCase{"DownPastTheLastByte", 90, "<Down>", 90},
                                         MoveCase{"UpFromFirstRow", 5, "<Up>", 5},
                                         MoveCase{"Home", 37, "<Home>", 32},
                                         MoveCase{"End", 37, "<End>", 47},
                                         MoveCase{"EndOnShortLastRow", 97, "<End>", 99},
                                         MoveCase{"CtrlHome", 57, "<C-Home>", 0},
                                         MoveCase{"CtrlEnd", 7, "<C-End>", 99},
                                         MoveCase{"PageDownClampsToTheEnd", 7, "<PgDn><PgDn><PgDn>", 99},
                                         MoveCase{"PageUpClampsToTheStart", 20, "<PgUp>", 0}),
                         [](const testing::TestParamInfo<MoveCase>& info) { return std::string(info.param.name); });

TEST(HexViewKeys, PageDownMovesOnePageAndScrolls)
{
    std::vector<uint8_t> bytes(16 * 1000);
    HexView view;
    view.resize(700, 300);
    view.show();
    view.load(bytes.data(), static_cast<uint32_t>(bytes.size()));
    const int page = view.visibleRowCount();
    ASSERT_GT(page, 2);
    sendKeys(view, "<Right><PgDn>");
    EXPECT_EQ(view.cursorPosition(), 1u + 16u * page);
    EXPECT_EQ(view.firstVisibleRow(), page);
    sendKeys(view, "<PgUp>");
    EXPECT_EQ(view.cursorPosition(), 1u);
    EXPECT_EQ(view.firstVisibleRow(), 0);
}

TEST(HexViewKeys, ShiftSelectsAndCtrlCCopiesHexText)
{
    const std::vector<uint8_t> bytes{0x00, 0x1F, 0xA0, 0xFF, 0x7E};
    HexView view;
    view.load(bytes.data(), 5);
    sendKeys(view, "<Right><S-Right><S-Right><S-Right>");
    EXPECT_EQ(view.selectionStart(), 1u);
    EXPECT_EQ(view.selectionEnd(), 4u);
    sendKeys(view, "<C-c>");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("1F A0 FF"));

    // The selection can take in the last byte; plain movement then drops it.
    sendKeys(view, "<S-C-End>");
    EXPECT_EQ(view.selectedHexText(), QStringLiteral("1F A0 FF 7E"));
    sendKeys(view, "<Left>");
    EXPECT_FALSE(view.hasSelection());
    EXPECT_EQ(view.cursorPosition(), 4u);
}

TEST(HexViewKeys, InsertKeyTogglesTheModeAndSignals)
{
    HexView view;
    std::vector<bool> modes;
    QObject::connect(&view, &HexView::insertModeChanged, [&modes](bool insert) { modes.push_back(insert); });
    EXPECT_FALSE(view.isInsertMode());
    sendKeys(view, "<Ins><Ins>");
    EXPECT_EQ(modes, (std::vector<bool>{true, false}));
}

// Every key at the end of a one-byte and an empty view; ASan watches for
// reads or writes outside the data.
TEST(HexViewKeys, KeysAtTheEndOfTinyViewsStayInside)
{
    const char* strokes = "<C-End><Right><Down><End><PgDn><S-PgDn><S-C-End><C-c>AB<Tab>xy<Del><BS>"
                          "<Ins><C-End>12<Tab>q<BS><BS><BS><Del><C-z><C-z><C-y><S-Left><Del><Ins><Up><PgUp>";
    for (uint32_t count : {0u, 1u}) {
        const uint8_t byte = 0x42;
        HexView view;
        view.resize(400, 200);
        view.show();
        view.load(&byte, count);
        sendKeys(view, QString::fromLatin1(strokes));
        EXPECT_LE(view.cursorPosition(), view.byteCount());
        std::vector<uint8_t> out(view.byteCount() + 1, 0xEE);
        view.copyOut(out.data(), 0, view.byteCount());
        EXPECT_EQ(out.back(), 0xEE);
        view.grab();
    }
}

} // namespace
