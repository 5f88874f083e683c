// Tests of ImageButton: Check's answers and looks for mouse sequences, redraws and loading.
#include "components/ImageButton.h"

#include "SkinTestImages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// The button covers (10,10)-(29,29) of a 40 by 40 canvas; (20,20) is inside, (35,35) outside.
const int kIn = 20;
const int kOut = 35;

class ImageButtonTest : public testing::Test {
protected:
    void SetUp() override {
        folder = MakeTempFolder("button");
        normalPath = Widen(folder + "\\Normal.mtx");
        hoverPath = Widen(folder + "\\Hover.mtx");
        pressedPath = Widen(folder + "\\Pressed.mtx");
        ASSERT_TRUE(WriteTestPng(normalPath, 10, 10, kRed));
        ASSERT_TRUE(WriteTestPng(hoverPath, 10, 10, kGreen));
        ASSERT_TRUE(WriteTestPng(pressedPath, 10, 10, kBlue));
        button.reset(new ImageButton(normalPath.c_str(), hoverPath.c_str(), pressedPath.c_str(), 10, 10, 20, 20));
    }
    void TearDown() override {
        button.reset();
        RemoveTree(folder);
    }

    // Checks with a cleared canvas and tells what the check drew: a look's colour, or kClear.
    int CheckAndSee(int x, int y, bool down, Gdiplus::ARGB& drawn) {
        canvas.Clear();
        int result = button->Check(x, y, down, &canvas.graphics);
        drawn = canvas.At(kIn, kIn);
        return result;
    }

    std::string folder;
    std::wstring normalPath, hoverPath, pressedPath;
    std::unique_ptr<ImageButton> button;
    Canvas canvas{40, 40};
};

TEST_F(ImageButtonTest, HoverPressAndReleaseOverTheButtonIsAClick) {
    Gdiplus::ARGB drawn;
    EXPECT_EQ(ImageButton::Outside, CheckAndSee(kOut, kOut, false, drawn));
    EXPECT_EQ(ImageButton::Hovered, CheckAndSee(kIn, kIn, false, drawn));
    EXPECT_EQ(kGreen, drawn);
    EXPECT_EQ(ImageButton::Held, CheckAndSee(kIn, kIn, true, drawn));
    EXPECT_EQ(kBlue, drawn);
    EXPECT_EQ(ImageButton::Pressed, button->look);
    EXPECT_EQ(ImageButton::Held, CheckAndSee(kIn + 5, kIn, true, drawn));
    EXPECT_EQ(ImageButton::Clicked, CheckAndSee(kIn + 5, kIn, false, drawn));
    EXPECT_EQ(kGreen, drawn);
    EXPECT_EQ(ImageButton::Hovered, CheckAndSee(kIn, kIn, false, drawn));
    EXPECT_EQ(ImageButton::Outside, CheckAndSee(kOut, kIn, false, drawn));
    EXPECT_EQ(kRed, canvas.At(kIn, kIn));
}

TEST_F(ImageButtonTest, APressWithoutAPrecedingMoveStillCounts) {
    // After play turns into pause the new button's first message can be the press itself.
    Gdiplus::ARGB drawn;
    EXPECT_EQ(ImageButton::Held, CheckAndSee(kIn, kIn, true, drawn));
    EXPECT_EQ(kBlue, drawn);
    EXPECT_EQ(ImageButton::Clicked, CheckAndSee(kIn, kIn, false, drawn));
    // A double click arrives as two press-and-release pairs.
    EXPECT_EQ(ImageButton::Held, CheckAndSee(kIn, kIn, true, drawn));
    EXPECT_EQ(ImageButton::Clicked, CheckAndSee(kIn, kIn, false, drawn));
}

TEST_F(ImageButtonTest, EdgesOfTheRectangle) {
    Gdiplus::ARGB drawn;
    EXPECT_EQ(ImageButton::Hovered, CheckAndSee(10, 10, false, drawn));
    EXPECT_EQ(ImageButton::Hovered, CheckAndSee(29, 29, false, drawn));
    EXPECT_EQ(ImageButton::Outside, CheckAndSee(30, 29, false, drawn));
    EXPECT_EQ(ImageButton::Outside, CheckAndSee(29, 30, false, drawn));
    EXPECT_EQ(ImageButton::Outside, CheckAndSee(9, 20, false, drawn));
    EXPECT_EQ(ImageButton::Outside, CheckAndSee(20, 9, false, drawn));
}

TEST_F(ImageButtonTest, DraggingOffWhileHeldLooksNormalAndComesBackPressed) {
    Gdiplus::ARGB drawn;
    CheckAndSee(kIn, kIn, false, drawn);
    EXPECT_EQ(ImageButton::Held, CheckAndSee(kIn, kIn, true, drawn));
    EXPECT_EQ(ImageButton::Outside, CheckAndSee(kOut, kOut, true, drawn));
    EXPECT_EQ(kRed, drawn);
    EXPECT_EQ(ImageButton::Held, CheckAndSee(kIn, kIn, true, drawn));
    EXPECT_EQ(kBlue, drawn);
    EXPECT_EQ(ImageButton::Clicked, CheckAndSee(kIn, kIn, false, drawn));
}

TEST_F(ImageButtonTest, ReleaseOutsideForgetsThePress) {
    Gdiplus::ARGB drawn;
    EXPECT_EQ(ImageButton::Held, CheckAndSee(kIn, kIn, true, drawn));
    EXPECT_EQ(ImageButton::Outside, CheckAndSee(kOut, kOut, true, drawn));
    EXPECT_EQ(ImageButton::Outside, CheckAndSee(kOut, kOut, false, drawn));
    EXPECT_FALSE(button->armed);
    EXPECT_EQ(ImageButton::Hovered, CheckAndSee(kIn, kIn, false, drawn));
    EXPECT_EQ(ImageButton::Hovered, CheckAndSee(kIn, kIn, false, drawn));
}

TEST_F(ImageButtonTest, PressStartedElsewhereIsNeitherHeldNorAClick) {
    Gdiplus::ARGB drawn;
    EXPECT_EQ(ImageButton::Outside, CheckAndSee(kOut, kOut, true, drawn));
    EXPECT_EQ(ImageButton::Outside, CheckAndSee(kIn, kIn, true, drawn));
    EXPECT_EQ(kClear, drawn);
    EXPECT_EQ(ImageButton::Normal, button->look);
    EXPECT_EQ(ImageButton::Hovered, CheckAndSee(kIn, kIn, false, drawn));
    EXPECT_EQ(kGreen, drawn);
}

TEST_F(ImageButtonTest, RedrawsOnlyWhenTheLookChanges) {
    Gdiplus::ARGB drawn;
    CheckAndSee(kIn, kIn, false, drawn);
    EXPECT_EQ(kGreen, drawn);
    CheckAndSee(kIn + 3, kIn + 3, false, drawn);
    EXPECT_EQ(kClear, drawn);
    CheckAndSee(kIn, kIn, true, drawn);
    EXPECT_EQ(kBlue, drawn);
    CheckAndSee(kIn + 1, kIn, true, drawn);
    EXPECT_EQ(kClear, drawn);
    CheckAndSee(kOut, kOut, false, drawn);
    EXPECT_EQ(kRed, drawn);
    CheckAndSee(kOut, kIn, false, drawn);
    EXPECT_EQ(kClear, drawn);
}

TEST_F(ImageButtonTest, CheckWithoutGraphicsStillTracksTheMouse) {
    EXPECT_EQ(ImageButton::Held, button->Check(kIn, kIn, true, nullptr));
    EXPECT_EQ(ImageButton::Clicked, button->Check(kIn, kIn, false, nullptr));
    EXPECT_EQ(ImageButton::Hover, button->look);
    button->Draw(nullptr);
}

TEST_F(ImageButtonTest, DrawPaintsTheCurrentLookAtTheCurrentPlace) {
    button->x = 0;
    button->width = 10;
    button->Draw(&canvas.graphics);
    EXPECT_EQ(kRed, canvas.At(5, 15));
    EXPECT_EQ(kClear, canvas.At(kIn, kIn));
    button->look = ImageButton::Pressed;
    button->Draw(&canvas.graphics);
    EXPECT_EQ(kBlue, canvas.At(5, 15));
}

TEST_F(ImageButtonTest, OneImageServesEveryLook) {
    ImageButton single(hoverPath.c_str(), 0, 0, 10, 10);
    EXPECT_EQ(single.normalImage, single.hoverImage);
    EXPECT_EQ(single.normalImage, single.pressedImage);
    single.Check(5, 5, true, &canvas.graphics);
    EXPECT_EQ(kGreen, canvas.At(5, 5));
}

TEST_F(ImageButtonTest, AMissingLookThrowsAMessageNamingItsFile) {
    std::string missing = folder + "\\NoHover.mtx";
    try {
        ImageButton broken(normalPath.c_str(), Widen(missing).c_str(), pressedPath.c_str(), 0, 0, 10, 10);
        FAIL() << "no exception";
    } catch (const char* message) {
        EXPECT_NE(std::string::npos, std::string(message).find(missing)) << message;
    }
    EXPECT_THROW(ImageButton(Widen(missing).c_str(), 0, 0, 10, 10), const char*);
}

}  // namespace

TEST_F(ImageButtonTest, ALookWithSeeThroughPartsHidesTheLookBefore) {
    // Normal is red on its left half and see-through on its right; hover is green all over.
    ASSERT_TRUE(WriteTestPng(normalPath, 10, 10, kRed, kClear, 5));
    button.reset(new ImageButton(normalPath.c_str(), hoverPath.c_str(), pressedPath.c_str(), 10, 10, 20, 20));
    canvas.Clear();
    button->Check(kIn, kIn, false, &canvas.graphics);  // hover: green everywhere
    button->Check(kOut, kOut, false, &canvas.graphics);  // back to normal
    EXPECT_EQ(kRed, canvas.At(12, 20));
    EXPECT_EQ(0xFF000000, canvas.At(27, 20)) << "the hover look shows through the normal one";
}
