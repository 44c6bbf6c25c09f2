// Fitting the live sound to the pictures and mixing in the click sounds.
#include "SoundFitting.h"

#include <algorithm>
#include <memory>

#include "ByteReader.h"
#include "Classes.h"
#include "SysUtils.h"
#include "WavHelpers.h"

namespace {

struct WavFormat {
  int channels = 0, rate = 0, byteRate = 0, bits = 0;
};

bool readWavFormat(TStream& f, WavFormat& w) {
  uint8_t h[kWavHeaderSize];
  f.Seek(0, soFromBeginning);
  if (f.Read(h, int(kWavHeaderSize)) != int(kWavHeaderSize)) return false;
  ByteReader r(h, sizeof h);
  int16_t channels, bits;
  int32_t rate, byteRate;
  r.seek(22);
  r.i16(channels);
  r.i32(rate);
  r.i32(byteRate);
  r.seek(34);
  r.i16(bits);
  if (!r.ok()) return false;
  w = WavFormat{channels, rate, byteRate, bits};
  return true;
}

// Far above any sound card's rate: a larger value is a damaged header, and
// padding by it would write gigabytes of silence.
constexpr int kMaxByteRate = 8 * 192000 * 4;

// Far beyond any recording (a WAV side file holds at most 4 GiB, hours of
// sound): keeps the byte offset of a click inside int64 for any input.
constexpr int64_t kMaxClickMs = int64_t(1) << 40;

}  // namespace

int fitWaveLength(const AnsiString& wavPath, int64_t ms) {
  if (ms < 0) return 0;
  const int silence = wavBaselineLevel(wavPath);
  std::unique_ptr<TFileStream> f;
  try {
    f = std::make_unique<TFileStream>(wavPath, fmOpenReadWrite | fmShareDenyWrite);
  } catch (const Exception&) {
    return 0;
  }
  try {
    WavFormat w;
    if (!readWavFormat(*f, w) || w.byteRate <= 0 || w.byteRate > kMaxByteRate) return 0;
    // byte rate x ms x 0.001 held as a single-precision float: volatile pins
    // each rounding, so the x87 and SSE builds give the same length.
    volatile double exact = static_cast<double>(int64_t(w.byteRate) * ms) * 0.001;
    volatile float single = static_cast<float>(exact);
    int64_t t = static_cast<int64_t>(single);
    // Even, and whole samples for sound wider than two bytes a sample.
    const int64_t align = std::max(2, int(w.channels) * (w.bits / 8));
    t -= t % align;
    if (t + 36 > int64_t(UINT32_MAX)) return 0;

    int64_t size = f->Size();
    if (size != t + int64_t(kWavHeaderSize)) {
      if (t < size - int64_t(kWavHeaderSize)) {
        f->SetSize(t + int64_t(kWavHeaderSize));
      } else {
        if (size % 2) f->SetSize(--size);
        int64_t pad = (t - size + int64_t(kWavHeaderSize)) & ~int64_t(1);
        std::vector<uint8_t> chunk(std::min<int64_t>(pad, 1 << 16));
        if (w.bits == 8) {
          std::fill(chunk.begin(), chunk.end(), static_cast<uint8_t>(silence));
        } else {
          for (std::size_t i = 0; i + 1 < chunk.size(); i += 2)
            putU16(&chunk[i], static_cast<uint16_t>(static_cast<int16_t>(silence)));
        }
        f->Seek(size, soFromBeginning);
        while (pad > 0) {
          const int n = static_cast<int>(std::min<int64_t>(pad, int64_t(chunk.size())));
          f->WriteBuffer(chunk.data(), n);
          pad -= n;
        }
      }
    }
    uint8_t field[4];
    putU32(field, static_cast<uint32_t>(t + 36));
    f->Seek(4, soFromBeginning);
    f->WriteBuffer(field, 4);
    putU32(field, static_cast<uint32_t>(t));
    f->Seek(40, soFromBeginning);
    f->WriteBuffer(field, 4);
    return size == t + int64_t(kWavHeaderSize) ? -1 : 1;
  } catch (const Exception&) {
    return 0;
  }
}

AnsiString clickSoundFileName(int bits, int sampleRate) {
  static const int rates[] = {8000, 11025, 22050, 44100};
  if (bits != 8 && bits != 16) return AnsiString();
  for (int i = 0; i < 4; ++i)
    if (rates[i] == sampleRate) return "mc" + IntToStr((bits == 16 ? 5 : 1) + i) + ".wav";
  return AnsiString();
}

std::vector<ClickSound> planClickSounds(const std::vector<ClickEvent>& events, double fps) {
  std::vector<ClickSound> plan;
  if (!(fps > 0)) return plan;
  for (std::size_t i = 0; i < events.size(); ++i) {
    const ClickEvent& e = events[i];
    // Rounded to double before truncating, so the x87 build does not turn
    // 3 frames at 0.4 fps into 7499 ms.
    volatile double exact = e.frame * 1000.0 / fps;
    if (!(exact >= 0 && exact < kMaxClickMs)) continue;  // a damaged frame number
    const int64_t ms = static_cast<int64_t>(exact);
    if (e.kind == 3) {
      plan.push_back({ms, 2});
    } else if (i + 1 < events.size() &&
               (events[i + 1].frame == e.frame || events[i + 1].kind == 3)) {
      // A press followed by its release (or a double click) sounds once.
    } else {
      plan.push_back({ms, 1});
    }
  }
  return plan;
}

bool mixClickSound(const AnsiString& wavPath, const AnsiString& clickFolder, int64_t ms,
                   int times) {
  if (ms < 0 || ms >= kMaxClickMs || times < 1) return false;
  WavFormat w;
  try {
    TFileStream f(wavPath, fmOpenRead | fmShareDenyNone);
    if (!readWavFormat(f, w)) return false;
  } catch (const Exception&) {
    return false;
  }
  const AnsiString click = clickSoundFileName(w.bits, w.rate);
  if (click.IsEmpty()) return false;
  // Whole samples of all channels (the recorder's sound is mono, where this
  // is second x rate x bytes per sample).
  const int64_t offset = (ms / 1000) * int64_t(w.rate) * (w.bits / 8) *
                         std::max<int64_t>(1, w.channels) + int64_t(kWavHeaderSize);
  return mixSoundIntoWav(wavPath, clickFolder + click, w.bits, offset, times);
}

int addClickSounds(const AnsiString& wavPath, const AnsiString& clickFolder,
                   const TStringList& clicks, double fps, FormatsHost& host) {
  const std::vector<ClickEvent> events = readClickEvents(clicks);
  const std::vector<ClickSound> plan = planClickSounds(events, fps);
  int mixed = 0;
  for (std::size_t i = 0; i < plan.size(); ++i) {
    if (!host.progress(static_cast<int>(i * 100 / plan.size()))) return -2;
    if (mixClickSound(wavPath, clickFolder, plan[i].ms, plan[i].times)) ++mixed;
  }
  host.progress(100);
  return mixed;
}
