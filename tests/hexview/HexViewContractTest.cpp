#include "hexview/HexView.h"

#include "KeyStrokes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint8_t> contents(const HexView& view)
{
    std::vector<uint8_t> bytes(view.byteCount());
    view.copyOut(bytes.data(), 0, view.byteCount());
    return bytes;
}

class HexViewContract : public testing::Test {
protected:
    void SetUp() override
    {
        view.resize(700, 300);
        view.show();
        QObject::connect(&view, &HexView::modifiedChanged, [this](bool modified) { reported.push_back(modified); });
        view.load(loaded.data(), static_cast<uint32_t>(loaded.size()));
    }

    HexView view;
    std::vector<uint8_t> loaded{0x00, 0x11, 0x22, 0x33, 0x44};
    std::vector<bool> reported;
};

TEST_F(HexViewContract, LoadCopiesTheBytes)
{
    std::vector<uint8_t> source = loaded;
    view.load(source.data(), 5);
    source[0] = 0xEE;
    EXPECT_EQ(view.byteCount(), 5u);
    EXPECT_EQ(contents(view), loaded);
    EXPECT_FALSE(view.isModified());
}

TEST_F(HexViewContract, CopyOutTakesAnyWindowInsideTheContents)
{
    std::vector<uint8_t> out(3, 0xEE);
    view.copyOut(out.data(), 2, 3);
    EXPECT_EQ(out, (std::vector<uint8_t>{0x22, 0x33, 0x44}));
    // Asking past the end copies only what is there.
    std::fill(out.begin(), out.end(), 0xEE);
    view.copyOut(out.data(), 4, 3);
    EXPECT_EQ(out, (std::vector<uint8_t>{0x44, 0xEE, 0xEE}));
    view.copyOut(out.data(), 9, 3);
    EXPECT_EQ(out[0], 0x44);
}

TEST_F(HexViewContract, EditSetsModifiedAndMarksTheByte)
{
    sendKeys(view, "<Right>9");
    EXPECT_TRUE(view.isModified());
    EXPECT_EQ(reported, std::vector<bool>{true});
    EXPECT_TRUE(view.isByteChanged(1));
    EXPECT_FALSE(view.isByteChanged(0));
    EXPECT_EQ(contents(view), (std::vector<uint8_t>{0x00, 0x91, 0x22, 0x33, 0x44}));
    sendKeys(view, "9");  // a second edit does not signal again
    EXPECT_EQ(reported.size(), 1u);
}

TEST_F(HexViewContract, ClearModifiedKeepsTheEditsButForgetsMarksAndHistory)
{
    sendKeys(view, "AB");
    view.clearModified();
    EXPECT_FALSE(view.isModified());
    EXPECT_EQ(reported, (std::vector<bool>{true, false}));
    EXPECT_FALSE(view.isByteChanged(0));
    EXPECT_FALSE(view.canUndo());
    sendKeys(view, "<C-z>");
    EXPECT_EQ(view.byteAt(0), 0xAB);
}

TEST_F(HexViewContract, LoadForgetsEditsMarksAndHistory)
{
    sendKeys(view, "AB");
    view.load(loaded.data(), 3);
    EXPECT_FALSE(view.isModified());
    EXPECT_FALSE(view.isByteChanged(0));
    EXPECT_FALSE(view.canUndo());
    EXPECT_EQ(view.byteCount(), 3u);
    EXPECT_EQ(view.cursorPosition(), 0u);
}

TEST_F(HexViewContract, UndoingEveryEditLeavesTheViewUnmodified)
{
    sendKeys(view, "ABCD<C-z><C-z><C-z>");
    EXPECT_TRUE(view.isModified());
    sendKeys(view, "<C-z>");
    EXPECT_FALSE(view.isModified());
    EXPECT_EQ(contents(view), loaded);
    sendKeys(view, "<C-y>");
    EXPECT_TRUE(view.isModified());
    EXPECT_EQ(view.byteAt(0), 0xA0);
}

TEST_F(HexViewContract, UndoAndRedoWalkTheWholeHistory)
{
    // Insert, complete the inserted byte, insert a character, delete, overwrite.
    sendKeys(view, "<Ins>12<Tab>z<Del><Ins><Left><Tab>F");
    const std::vector<uint8_t> edited = contents(view);
    EXPECT_EQ(edited, (std::vector<uint8_t>{0x12, 0xFA, 0x11, 0x22, 0x33, 0x44}));
    for (int i = 0; i < 5; ++i)
        sendKeys(view, "<C-z>");
    EXPECT_EQ(contents(view), loaded);
    EXPECT_FALSE(view.canUndo());
    for (int i = 0; i < 5; ++i)
        sendKeys(view, "<C-y>");
    EXPECT_EQ(contents(view), edited);
    EXPECT_FALSE(view.canRedo());
}

TEST_F(HexViewContract, EmptyViewIsNeverModified)
{
    view.load(nullptr, 0);
    sendKeys(view, "AB<Tab>xy<Del><BS>");
    EXPECT_EQ(view.byteCount(), 0u);
    EXPECT_FALSE(view.isModified());

    // Deleting every byte in insert mode leaves an empty, unmodified view.
    view.load(loaded.data(), 2);
    sendKeys(view, "<Ins><Del><Del>");
    EXPECT_EQ(view.byteCount(), 0u);
    EXPECT_FALSE(view.isModified());
    sendKeys(view, "7");
    EXPECT_EQ(view.byteCount(), 1u);
    EXPECT_TRUE(view.isModified());
}

} // namespace
