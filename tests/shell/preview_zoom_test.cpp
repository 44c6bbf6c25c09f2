// The preview's zoom rules as a table: every zoom item, the fit rule's two
// branches with its worked example, frames smaller than the box, the frame of
// the box's own proportions, and what shows nothing.
#include <gtest/gtest.h>

#include "PreviewZoom.h"

namespace {

TEST(PreviewZoom, SizesAndScalesOfEveryZoom) {
  struct Row {
    const char* name;
    PreviewZoom zoom;
    int w, h, boxW, boxH;
    int shownW, shownH;
    float scale;
  };
  const Row rows[] = {
      {"100 % keeps the size", PreviewZoom::Actual, 1000, 300, 453, 156, 1000, 300, 1.0f},
      {"200 % doubles it", PreviewZoom::Double, 101, 77, 453, 156, 202, 154, 2.0f},
      {"50 % halves toward zero", PreviewZoom::Half, 101, 77, 453, 156, 50, 38, 0.5f},
      // a = 0.3 < b = 0.344: the width decides, d = 1000 / 453 + 1 = 3.
      {"fit, wide frame", PreviewZoom::Fit, 1000, 300, 453, 156, 333, 100, 1.0f / 3},
      // a = 1.5 > b: the height decides, d = 600 / 156 + 1 = 4.
      {"fit, tall frame", PreviewZoom::Fit, 400, 600, 453, 156, 100, 150, 0.25f},
      {"fit, smaller than the box", PreviewZoom::Fit, 200, 100, 453, 156, 200, 100, 1.0f},
      {"fit, tall but lower than the box", PreviewZoom::Fit, 50, 150, 453, 156, 50, 150, 1.0f},
      // An exact multiple still gets the "+ 1": 906 / 453 + 1 = 3.
      {"fit, the box's own proportions", PreviewZoom::Fit, 906, 312, 453, 156, 302, 104, 1.0f / 3},
      // A box of no size counts as 1 x 1: no division by zero.
      {"fit, a box of no size", PreviewZoom::Fit, 10, 5, 0, 0, 0, 0, 1.0f / 11},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    PreviewView v;
    ASSERT_TRUE(previewView(r.zoom, r.w, r.h, r.boxW, r.boxH, v));
    EXPECT_EQ(v.width, r.shownW);
    EXPECT_EQ(v.height, r.shownH);
    EXPECT_EQ(v.scale, r.scale);
  }
}

TEST(PreviewZoom, NothingIsShownWithoutAZoomOrAFrame) {
  PreviewView v;
  v.width = 7;
  EXPECT_FALSE(previewView(PreviewZoom::None, 100, 100, 453, 156, v));
  EXPECT_FALSE(previewView(PreviewZoom::Fit, 0, 100, 453, 156, v));
  EXPECT_FALSE(previewView(PreviewZoom::Actual, 100, 0, 453, 156, v));
  EXPECT_EQ(v.width, 7);
}

}  // namespace
