// The tray blink, the monitor's placement and its waveform columns (see
// TickSideWork.h).
#include "TickSideWork.h"

#include <algorithm>

bool trayBlinkDue(int frameCount, double framesPerSecond) {
  int f = framesPerSecond >= 1 ? static_cast<int>(framesPerSecond) : 1;
  return frameCount % f == 0;
}

TrayImage trayBlinkImage(unsigned blinkCounter, bool hasSound, int inputLevel) {
  if (blinkCounter % 2 == 1) return TrayImage::Application;
  return hasSound && inputLevel > 5 ? TrayImage::WithSound : TrayImage::NoSound;
}

int monitorTop(int height, int screenHeight, bool fullScreen, int targetTop, int targetBottom) {
  const int bottomPlace = screenHeight - height - 35;
  if (fullScreen || height + targetBottom < screenHeight - 35) return bottomPlace;
  if (height + targetBottom < screenHeight) return targetBottom + 5;
  if (height < targetTop) return 0;
  // The target leaves no room above or below it: the window goes where it
  // goes for a full-screen target, over the target, rather than below the
  // screen's edge where nobody could see or close it.
  return bottomPlace;
}

ThumbPlacement thumbPlacement(int frameWidth, int frameHeight) {
  ThumbPlacement p;
  if (frameWidth <= 0 || frameHeight <= 0) return p;
  int n = kThumbSize;
  for (int d = kThumbSize; d >= 81; --d) {
    if (frameWidth % d == 0) {
      n = d;
      break;
    }
  }
  p.width = n;
  p.height = static_cast<int>(int64_t(frameHeight) * n / frameWidth);
  p.left = (kThumbSize - n) / 2;
  p.top = (kThumbSize - p.height) / 2;
  return p;
}

WaveRead planWaveRead(int64_t fileSize, int64_t readPosition, int bitsPerSample, int panelWidth) {
  WaveRead r;
  const int64_t waiting = fileSize - readPosition;
  if (waiting <= 0 || panelWidth <= 0) return r;
  int bytesPerSample;
  if (bitsPerSample == 16)
    bytesPerSample = 2;
  else if (bitsPerSample == 8)
    bytesPerSample = 1;
  else
    return r;
  const int64_t samples = waiting / bytesPerSample;
  const int64_t columns = std::min<int64_t>(samples / kSamplesPerColumn, panelWidth);
  if (columns == 0) return r;
  r.columns = static_cast<int>(columns);
  r.bytes = columns * kSamplesPerColumn * bytesPerSample;
  r.from = columns == panelWidth ? fileSize - r.bytes : readPosition;
  return r;
}

int waveY(int sample, int bitsPerSample, int panelHeight, int gain) {
  const int h = panelHeight / 2;
  if (bitsPerSample == 16) return h + static_cast<int>(int64_t(h - 4) * (int64_t(sample) * gain) / 32767);
  return h + static_cast<int>(int64_t(h - 4) * (int64_t(sample - 128) * gain) / 127);
}

std::vector<WaveColumn> waveColumns(const uint8_t* data, std::size_t bytes, int bitsPerSample, int panelHeight,
                                    int gain) {
  std::vector<WaveColumn> columns;
  if (bitsPerSample != 8 && bitsPerSample != 16) return columns;
  const std::size_t b = bitsPerSample / 8;
  const std::size_t columnBytes = kSamplesPerColumn * b;
  for (std::size_t at = 0; at + columnBytes <= bytes; at += columnBytes) {
    int mn = 0, mx = 0;
    for (std::size_t i = 0; i < kSamplesPerColumn; ++i) {
      const uint8_t* p = data + at + i * b;
      const int v = b == 2 ? static_cast<int16_t>(p[0] | (p[1] << 8)) : p[0];
      if (i == 0 || v < mn) mn = v;
      if (i == 0 || v > mx) mx = v;
    }
    columns.push_back({waveY(mn, bitsPerSample, panelHeight, gain), waveY(mx, bitsPerSample, panelHeight, gain) + 1});
  }
  return columns;
}
