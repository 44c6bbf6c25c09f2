// What the record tick shows beside the recording, as numbers: the tray
// icon's blink, where the monitor window goes, where its thumbnail sits, and
// which samples of the growing WAV side file its waveform panel draws as
// which pixel columns. The Windows side (the tray calls, the monitor form)
// only draws what these decide. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// ---- tray icon ------------------------------------------------------------------

enum class TrayImage { Application, WithSound, NoSound };

// Once a second of pictures: frameCount a multiple of the typed frame rate
// (truncated, at least 1).
bool trayBlinkDue(int frameCount, double framesPerSecond);
// Odd counts show the application icon; even ones tell whether sound comes
// in (an input level above 5 while sound is recorded).
TrayImage trayBlinkImage(unsigned blinkCounter, bool hasSound, int inputLevel);
// The level the tick assumes until the sound server has reported one.
constexpr int kStartInputLevel = 10;

// ---- monitor window -------------------------------------------------------------

// Top of the monitor window of the given height: 35 pixels above the
// screen's bottom while that leaves the target (top..bottom) uncovered, else
// just below the target, else at the top of the screen when the target
// leaves room there. A full-screen target always gets the bottom place.
int monitorTop(int height, int screenHeight, bool fullScreen, int targetTop, int targetBottom);

constexpr int kThumbSize = 128;

// The thumbnail's rectangle inside the 128 x 128 picture, fixed by the first
// frame: the width is the largest divisor of the frame's width from 128 down
// to 81 (128 when none divides it), the height keeps the frame's proportion,
// and the rectangle is centred. All zero for a frame without width.
struct ThumbPlacement {
  int width = 0, height = 0, left = 0, top = 0;
};
ThumbPlacement thumbPlacement(int frameWidth, int frameHeight);

constexpr int kSamplesPerColumn = 100;
constexpr int kWavDataOffset = 44;

// What one refresh reads of the WAV side file: `bytes` from offset `from`,
// drawn as `columns` pixel columns at the right end of the panel. Nothing
// (columns 0) while fewer than 100 new samples wait, for sample depths other
// than 8 and 16 bits, and when the file is shorter than what was read before
// (the pause fits it to the pictures). When more than a panel's width of
// columns wait, only the newest are read and the older ones are skipped.
struct WaveRead {
  int64_t from = 0;
  int64_t bytes = 0;
  int columns = 0;
};
WaveRead planWaveRead(int64_t fileSize, int64_t readPosition, int bitsPerSample, int panelWidth);

// y of a sample on a panel of the given height: the middle for silence,
// larger values lower, full scale 4 pixels from the edges. 16-bit samples
// are signed, 8-bit ones unsigned around 128. Divisions truncate toward zero.
int waveY(int sample, int bitsPerSample, int panelHeight, int gain = 1);

// One pixel column: a line from yFrom (the smallest sample's y) to yTo (one
// past the largest sample's y).
struct WaveColumn {
  int yFrom = 0, yTo = 0;
};
// The columns of `bytes` little-endian samples read as planWaveRead asked,
// 100 samples each; a short tail that makes no whole column is ignored.
std::vector<WaveColumn> waveColumns(const uint8_t* data, std::size_t bytes, int bitsPerSample, int panelHeight,
                                    int gain = 1);
