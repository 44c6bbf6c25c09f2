// The scene's code reader against the scene's own picture rule: every code
// read back from the picture drawn for it, at the narrowest and a common
// width, and a picture without a code refused.
#include <gtest/gtest.h>

#include "scene_picture.h"

TEST(ScenePicture, CodesReadBackAndForeignPicturesAreRefused) {
  for (int width : {scene::kMinWidth, 1024}) {
    for (uint32_t code : {0u, 1u, 2u, 0x55555u, 0xAAAAAu, 0xFFFFFu, 12345u}) {
      auto at = [&](int x, int y) { return scene::pixelAt(x, y, width, code); };
      EXPECT_EQ(scene::readCode(at), static_cast<int64_t>(code)) << width;
      // The same picture after a 16-bit round trip (low bits lost).
      auto at16 = [&](int x, int y) { return scene::quantised(at(x, y)); };
      EXPECT_EQ(scene::readCode(at16), static_cast<int64_t>(code));
    }
  }
  auto grey = [](int, int) { return 0x808080u; };
  EXPECT_EQ(scene::readCode(grey), -1);
  // The bar moves with the code and stays inside the window.
  EXPECT_NE(scene::barLeft(1, 1024), scene::barLeft(2, 1024));
  for (uint32_t c = 0; c < 2000; ++c) EXPECT_LE(scene::barLeft(c, 1024) + scene::kBarWidth, 1024 - 16);
}
