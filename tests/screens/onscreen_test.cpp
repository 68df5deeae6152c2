// Where a window's frame ends up within a screen's free area.
#include "screens/common/onscreen.h"

#include <gtest/gtest.h>

namespace fh::test {
namespace {

TEST(OnScreen, AFrameIsMovedAndShrunkIntoTheFreeArea) {
    const QRect small(0, 24, 640, 488);      // 1280x1024 at 2x, a 24-pixel panel on top
    const QRect second(1280, 0, 1280, 1024); // a second screen to the right
    for (const auto& [frame, room, fit] :
         {std::tuple{QRect(10, 30, 300, 200), small, QRect(10, 30, 300, 200)}, // fits: stays
          {QRect(500, 400, 300, 200), small, QRect(340, 312, 300, 200)},
          {QRect(-50, 0, 300, 200), small, QRect(0, 24, 300, 200)},
          {QRect(0, 0, 760, 520), small, QRect(0, 24, 640, 488)},       // the overview at 2x
          {QRect(100, 100, 1240, 300), small, QRect(0, 100, 640, 300)}, // the traffic window
          {QRect(2000, 600, 760, 520), second, QRect(1800, 504, 760, 520)}})
        EXPECT_EQ(FitWithin(frame, room), fit) << frame.x() << "," << frame.y();
}

} // namespace
} // namespace fh::test
