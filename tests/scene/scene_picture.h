// The test scene's picture: what scene.exe shows at each moment, as a pure
// function of a time code, and the reader that takes the code back out of a
// recorded picture. Recording tests render the expected picture for the code
// they read and compare it with the recorded frame, so a frame proves both
// when it was taken and that it was stored without a fault.
//
// Layout (window coordinates): a checkerboard of 32-pixel cells; in the band
// of rows kBandTop .. kBandTop + kBandHeight, kCodeBits blocks spelling the
// code (most significant bit first, white 1, black 0) and a red bar that
// moves 3 pixels a code step. The code counts 10 ms steps from the scene's
// start. Every colour survives 5-6-5 quantisation, so 16-bit recordings
// compare exactly too. Portable.
#pragma once

#include <cstdint>
#include <vector>

namespace scene {

constexpr int kCodeBits = 20;
constexpr int kBandTop = 16, kBandHeight = 80;
constexpr int kBlockLeft = 16, kBlockPitch = 28, kBlockSize = 24, kBlockTop = kBandTop + 4;
constexpr int kBarTop = kBandTop + 40, kBarWidth = 96, kBarHeight = 32;
constexpr int kMsPerStep = 10;
// The message (WM_APP + 1) that tells scene.exe the recording has started:
// its "--still-after" time counts from then.
constexpr unsigned kRecordingStarted = 0x8001;
constexpr int kMinWidth = kBlockLeft + kCodeBits * kBlockPitch + 16;
constexpr int kMinHeight = kBandTop + kBandHeight;

constexpr uint32_t kLight = 0xC8C8C8, kDark = 0x284880, kBandBack = 0x406040;
constexpr uint32_t kWhite = 0xFFFFFF, kBlack = 0x000000, kBar = 0xF80000;

inline int barLeft(uint32_t code, int width) {
  const int span = width - 2 * kBlockLeft - kBarWidth;
  return kBlockLeft + static_cast<int>((uint64_t(code) * 3) % uint64_t(span > 1 ? span : 1));
}

// The colour (0xRRGGBB) at window point (x, y) when the scene shows `code`.
inline uint32_t pixelAt(int x, int y, int width, uint32_t code) {
  if (y >= kBandTop && y < kBandTop + kBandHeight) {
    if (y >= kBlockTop && y < kBlockTop + kBlockSize && x >= kBlockLeft) {
      const int i = (x - kBlockLeft) / kBlockPitch;
      if (i < kCodeBits && (x - kBlockLeft) % kBlockPitch < kBlockSize)
        return (code >> (kCodeBits - 1 - i)) & 1 ? kWhite : kBlack;
    }
    const int bar = barLeft(code, width);
    if (y >= kBarTop && y < kBarTop + kBarHeight && x >= bar && x < bar + kBarWidth) return kBar;
    return kBandBack;
  }
  return ((x / 32) + (y / 32)) % 2 ? kDark : kLight;
}

// The colour in 5-6-5 precision, for comparing pictures of any depth.
inline uint32_t quantised(uint32_t rgb) { return rgb & 0xF8FCF8; }

// Reads the code from a picture given as a function (x, y) -> 0xRRGGBB in
// window coordinates; -1 when the band does not hold a code (a block that is
// neither white nor black).
template <class Pixel>
int64_t readCode(Pixel pixel) {
  uint32_t code = 0;
  for (int i = 0; i < kCodeBits; ++i) {
    const uint32_t c = quantised(pixel(kBlockLeft + i * kBlockPitch + kBlockSize / 2, kBlockTop + kBlockSize / 2));
    if (c == quantised(kWhite))
      code = code << 1 | 1;
    else if (c == quantised(kBlack))
      code = code << 1;
    else
      return -1;
  }
  return code;
}

}  // namespace scene
