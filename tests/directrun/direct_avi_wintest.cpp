// Direct AVI recordings end to end: Vidorra.exe records the running test
// scene straight into an AVI for about five seconds with sound. The finished
// .avi is left in directrun_out/ with a manifest line for check_direct_avi.sh,
// which reads it with ffprobe and ffmpeg (time base, frame count, the sound's
// sample count against the length fitted to the frames); here the file is
// only looked at from outside: its name, that no unfinished name or sound
// side file is left, and that the frames the platform's AVI reader decodes
// are the scene's whole pictures in time order. Windows (Wine), a display and the sound server
// are needed.
#include <gtest/gtest.h>

#include <windows.h>
#include <vfw.h>

#include <fstream>
#include <string>
#include <vector>

#include "direct_run.h"
#include "scene_frames.h"

namespace {

using namespace directrun;
using execheck::Picture;

// The codes of the video frames as AVIFile's frame decoder gives them
// (24-bit pictures, bottom-up), each frame checked to be the scene's whole
// picture for its code: -1 for a frame without one.
std::vector<int64_t> AviCodes(const std::wstring& path, LONG& length, DWORD& scale, DWORD& rate) {
  std::vector<int64_t> codes;
  length = 0;
  AVIFileInit();
  PAVIFILE f = nullptr;
  if (AVIFileOpenW(&f, path.c_str(), OF_READ | OF_SHARE_DENY_WRITE, nullptr) == 0) {
    PAVISTREAM v = nullptr;
    if (AVIFileGetStream(f, &v, streamtypeVIDEO, 0) == 0) {
      AVISTREAMINFOW si;
      AVIStreamInfoW(v, &si, sizeof si);
      scale = si.dwScale;
      rate = si.dwRate;
      length = AVIStreamLength(v);
      BITMAPINFOHEADER want = {};
      want.biSize = sizeof want;
      want.biWidth = LONG(si.rcFrame.right - si.rcFrame.left);
      want.biHeight = LONG(si.rcFrame.bottom - si.rcFrame.top);
      want.biPlanes = 1;
      want.biBitCount = 24;
      PGETFRAME g = AVIStreamGetFrameOpen(v, &want);
      if (!g) g = AVIStreamGetFrameOpen(v, nullptr);
      for (LONG i = 0; g && i < length; ++i) {
        auto* bi = static_cast<BITMAPINFOHEADER*>(AVIStreamGetFrame(g, i));
        if (!bi || (bi->biBitCount != 24 && bi->biBitCount != 32)) {
          codes.push_back(-1);
          continue;
        }
        const int w = bi->biWidth, h = bi->biHeight > 0 ? bi->biHeight : -bi->biHeight;
        const int bpp = bi->biBitCount / 8;
        const std::size_t stride = (std::size_t(w) * bpp + 3) & ~std::size_t(3);
        const uint8_t* bits = reinterpret_cast<const uint8_t*>(bi) + bi->biSize + bi->biClrUsed * 4;
        const bool bottomUp = bi->biHeight > 0;
        Picture pic;
        pic.w = w;
        pic.h = h;
        pic.px.resize(std::size_t(w) * h);
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) {
            const uint8_t* p = bits + stride * std::size_t(bottomUp ? h - 1 - y : y) + std::size_t(x) * bpp;
            pic.px[std::size_t(y) * w + x] = uint16_t((p[2] >> 3) << 11 | (p[1] >> 2) << 5 | (p[0] >> 3));
          }
        const int64_t code = sceneframes::codeOf(pic);
        codes.push_back(code);
        // The cursor is part of an AVI's picture: its box is left out.
        POINT c;
        GetCursorPos(&c);
        std::string first;
        if (code >= 0) {
          EXPECT_EQ(sceneframes::differences(pic, uint32_t(code), &first, {{c.x - 32, c.y - 32, c.x + 48, c.y + 48}}), 0)
              << "frame " << i << ": " << first;
        }
      }
      if (g) AVIStreamGetFrameClose(g);
      AVIStreamRelease(v);
    }
    AVIFileRelease(f);
  }
  AVIFileExit();
  return codes;
}

TEST(DirectAviProgram, RecordsTheSceneIntoAnAviWithItsSound) {
  ProgramFolder folder;
  const std::wstring avi = folder.work() + L"录像1.avi", avw = folder.work() + L"录像1.avw";
  const std::wstring wav = folder.work() + L"录像11.wav";
  const Recording r = RecordScene(folder, DirectSettings(folder, false, false), 60000, 5000,
                                  [&] { return Exists(avi); });
  for (const auto& b : r.boxes) std::printf("message box: %s\n", b.c_str());
  for (const auto& f : r.files) std::printf("left in the working folder: %s\n", f.c_str());
  ASSERT_TRUE(r.started) << "the recording did not start";
  ASSERT_TRUE(r.stopped);
  ASSERT_TRUE(Exists(avi)) << "no finished AVI";
  EXPECT_FALSE(Exists(avw)) << "the unfinished name is left";
  EXPECT_FALSE(Exists(wav)) << "the side file stays after its sound went into the AVI";

  const std::wstring kept = OutPath(L"program_recording.avi");
  ASSERT_TRUE(CopyFileW(avi.c_str(), kept.c_str(), FALSE));
  LONG length = 0;
  DWORD scale = 0, rate = 0;
  const std::vector<int64_t> codes = AviCodes(kept, length, scale, rate);
  EXPECT_EQ(scale, 1u);
  EXPECT_EQ(rate, 5u);
  // Five seconds at 5 a second; Wine's timer and the sound server's start
  // give or take a few.
  EXPECT_GE(length, 18);
  EXPECT_LE(length, 30);
  ASSERT_EQ(codes.size(), std::size_t(length));
  // Frames that the platform decodes show the scene; a position the stream
  // skipped (a frame filled by repetition) decodes as the one before it.
  int withCode = 0;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    if (codes[i] >= 0) ++withCode;
    if (i > 0 && codes[i] >= 0 && codes[i - 1] >= 0) {
      EXPECT_GE(codes[i], codes[i - 1]) << "frame " << i;
    }
  }
  EXPECT_EQ(withCode, length) << "frames without the scene's code";
  if (length >= 2 && codes.front() >= 0 && codes.back() >= 0) {
    // The scene ran on: the codes span the frames' time within two intervals.
    const int64_t spanMs = (codes.back() - codes.front()) * scene::kMsPerStep;
    EXPECT_NEAR(double(spanMs), double(length - 1) * 200, 400.0);
  }

  // For ffprobe: name, ms a frame, the sound's byte rate and bytes a sample.
  std::ofstream manifest(OutPath(L"program_recording.manifest").c_str(), std::ios::binary);
  manifest << "program_recording.avi 200 " << 11025 * 2 << " 2\n";
}

}  // namespace
