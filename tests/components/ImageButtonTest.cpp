// Tests of ImageButton: Check's answers and redraws for mouse sequences, and see-through looks.
#include "components/ImageButton.h"

#include "SkinTestImages.h"

#include <memory>
#include <vector>

namespace {

// The button covers (10,10)-(29,29) of the canvas; (20,20) is inside, (35,35) outside.
const int kIn = 20;
const int kOut = 35;

// One mouse message: where, the left button, Check's answer and what it drew at (kIn, kIn).
struct Step {
    int x, y;
    bool down;
    int result;
    Gdiplus::ARGB drawn;
};

class ImageButtonTest : public SkinImageTest {
protected:
    void SetUp() override
    {
        hover = Png("Hover.mtx", 10, 10, kGreen);
        button.reset(new ImageButton(Png("Normal.mtx", 10, 10, kRed).c_str(), hover.c_str(),
                                     Png("Pressed.mtx", 10, 10, kBlue).c_str(), 10, 10, 20, 20));
    }

    // Sends each step to Check over a cleared canvas; kClear as drawn means no redraw.
    void Follow(const std::vector<Step>& steps)
    {
        for (size_t i = 0; i < steps.size(); ++i) {
            const Step& step = steps[i];
            Clear();
            EXPECT_EQ(step.result, button->Check(step.x, step.y, step.down, &graphics)) << "step " << i;
            EXPECT_EQ(step.drawn, At(kIn, kIn)) << "step " << i;
        }
    }

    std::wstring hover;
    std::unique_ptr<ImageButton> button;
};

// Enters and leaves over the rectangle's edges: (10,10) and (29,29) are in, (9,y), (30,y), (x,9) and (x,30) out.
TEST_F(ImageButtonTest, HoverPressAndReleaseOverTheButtonIsAClickAndRedrawsOnlyOnChange)
{
    Follow({{9, 20, false, ImageButton::Outside, kClear},
            {10, 10, false, ImageButton::Hovered, kGreen},
            {29, 29, false, ImageButton::Hovered, kClear},
            {kIn, kIn, true, ImageButton::Held, kBlue},
            {kIn + 3, kIn, true, ImageButton::Held, kClear},
            {kIn + 3, kIn, false, ImageButton::Clicked, kGreen},
            {30, 29, false, ImageButton::Outside, kRed},
            {29, 30, false, ImageButton::Outside, kClear},
            {20, 9, false, ImageButton::Outside, kClear}});
}

// After play turns into pause the new button's first message can be the press itself; a double
// click comes as two press-and-release pairs.
TEST_F(ImageButtonTest, DraggingOffWhileHeldLooksNormalAndComingBackStillClicks)
{
    Follow({{kIn, kIn, true, ImageButton::Held, kBlue},
            {kOut, kOut, true, ImageButton::Outside, kRed},
            {kIn, kIn, true, ImageButton::Held, kBlue},
            {kIn, kIn, false, ImageButton::Clicked, kGreen},
            {kIn, kIn, true, ImageButton::Held, kBlue},
            {kIn, kIn, false, ImageButton::Clicked, kGreen}});
}

TEST_F(ImageButtonTest, APressThatStartsOrEndsOutsideIsNoClick)
{
    Follow({{kOut, kOut, true, ImageButton::Outside, kClear},
            {kIn, kIn, true, ImageButton::Outside, kClear},
            {kIn, kIn, false, ImageButton::Hovered, kGreen},
            {kIn, kIn, true, ImageButton::Held, kBlue},
            {kOut, kOut, true, ImageButton::Outside, kRed},
            {kOut, kOut, false, ImageButton::Outside, kClear},
            {kIn, kIn, false, ImageButton::Hovered, kGreen},
            {kIn, kIn, false, ImageButton::Hovered, kClear}});
}

TEST_F(ImageButtonTest, ALookWithSeeThroughPartsHidesTheLookBefore)
{
    // Normal is red on its left half and see-through on its right; hover is green all over.
    button.reset(new ImageButton(Png("Half.mtx", 10, 10, kRed, kClear, 5).c_str(), hover.c_str(), hover.c_str(), 10, 10,
                                 20, 20));
    button->Check(kIn, kIn, false, &graphics);
    button->Check(kOut, kOut, false, &graphics);
    EXPECT_EQ(kRed, At(12, 20));
    EXPECT_EQ(0xFF000000, At(27, 20)) << "the hover look shows through the normal one";
}

}  // namespace
