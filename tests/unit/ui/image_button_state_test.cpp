#include "ui/image_button_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lanchuan {
namespace {

using L = ButtonLook;

// One mouse step and what the button shows and reports after it.
enum class Step { kEnter, kLeave, kDown, kUpInside, kUpOutside, kCaptureLost, kDisable, kEnable };
struct Expect {
  Step step;
  L look;
  bool click;
};

struct Scenario {
  const char* name;
  std::vector<Expect> steps;
};

bool apply(ImageButtonState& b, Step s) {
  switch (s) {
    case Step::kEnter:
      b.mouse_moved(true);
      return false;
    case Step::kLeave:
      b.mouse_left();
      return false;
    case Step::kDown:
      b.left_down();
      return false;
    case Step::kUpInside:
      return b.left_up(true);
    case Step::kUpOutside:
      return b.left_up(false);
    case Step::kCaptureLost:
      b.capture_lost();
      return false;
    case Step::kDisable:
      b.set_enabled(false);
      return false;
    case Step::kEnable:
      b.set_enabled(true);
      return false;
  }
  return false;
}

TEST(ImageButtonState, Scenarios) {
  const Scenario scenarios[] = {
      {"hover and leave", {{Step::kEnter, L::kHover, false}, {Step::kLeave, L::kNormal, false}}},
      {"click shows hover afterwards",
       {{Step::kEnter, L::kHover, false},
        {Step::kDown, L::kPressed, false},
        {Step::kUpInside, L::kHover, true}}},
      {"press without a prior move still counts as on the button",
       {{Step::kDown, L::kPressed, false}, {Step::kUpInside, L::kHover, true}}},
      {"dragged off and released outside: no click",
       {{Step::kDown, L::kPressed, false},
        {Step::kLeave, L::kNormal, false},
        {Step::kUpOutside, L::kNormal, false}}},
      {"dragged off and back: click",
       {{Step::kDown, L::kPressed, false},
        {Step::kLeave, L::kNormal, false},
        {Step::kEnter, L::kPressed, false},
        {Step::kUpInside, L::kHover, true}}},
      {"release without a press on the button: no click",
       {{Step::kEnter, L::kHover, false}, {Step::kUpInside, L::kHover, false}}},
      {"second release after a click: no click",
       {{Step::kDown, L::kPressed, false},
        {Step::kUpInside, L::kHover, true},
        {Step::kUpInside, L::kHover, false}}},
      {"capture taken away abandons the press",
       {{Step::kDown, L::kPressed, false},
        {Step::kCaptureLost, L::kHover, false},
        {Step::kUpInside, L::kHover, false}}},
      {"disabled ignores the mouse",
       {{Step::kDisable, L::kDisabled, false},
        {Step::kEnter, L::kDisabled, false},
        {Step::kDown, L::kDisabled, false},
        {Step::kUpInside, L::kDisabled, false}}},
      {"disabled while pressed: no click after re-enabling",
       {{Step::kDown, L::kPressed, false},
        {Step::kDisable, L::kDisabled, false},
        {Step::kEnable, L::kHover, false},
        {Step::kUpInside, L::kHover, false}}},
  };
  for (const Scenario& s : scenarios) {
    ImageButtonState button;
    EXPECT_EQ(button.look(), L::kNormal) << s.name;
    int n = 0;
    for (const Expect& e : s.steps) {
      EXPECT_EQ(apply(button, e.step), e.click) << s.name << ", step " << n;
      EXPECT_EQ(button.look(), e.look) << s.name << ", step " << n;
      ++n;
    }
  }
}

TEST(ImageButtonState, DisabledPressDoesNotArm) {
  ImageButtonState button;
  button.set_enabled(false);
  EXPECT_FALSE(button.left_down());
  button.set_enabled(true);
  EXPECT_TRUE(button.left_down());
}

TEST(ImageButtonState, LooksWithoutPictureShowTheNormalPicture) {
  const bool title_button[kButtonLookCount] = {true, true, true, false};
  const bool big_button[kButtonLookCount] = {true, true, true, true};
  EXPECT_EQ(picture_for(L::kDisabled, title_button), L::kNormal);
  EXPECT_EQ(picture_for(L::kPressed, title_button), L::kPressed);
  EXPECT_EQ(picture_for(L::kDisabled, big_button), L::kDisabled);
  const bool only_normal[kButtonLookCount] = {true, false, false, false};
  EXPECT_EQ(picture_for(L::kHover, only_normal), L::kNormal);
}

}  // namespace
}  // namespace lanchuan
