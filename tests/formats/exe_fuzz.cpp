// Fuzz target: EXE recordings of any shape through the probes, the tail
// search, the frame reader (single file and sections) and the sound-track
// block that the reader locates.
#include <cstddef>
#include <cstdint>

#include "ExeContainer.h"
#include "SoundTrack.h"

namespace {
struct NullSink : ByteSink {
  bool write(const void*, std::size_t) override { return true; }
};

void walk(ByteSource& src, ExeRecording& r) {
  ExeFrame f;
  while (r.readFrame(f)) {}
  for (std::size_t i = 0; i < r.keyFrames.size() && i < 64; ++i)
    if (r.seekKeyFrame(i)) r.readFrame(f);
  if (r.soundStart >= 0) {
    SilentHost host;
    for (int packing : {kSoundRaw, kSoundZlib}) {
      NullSink out;
      int64_t pos = r.soundStart;
      findSoundPacking(packing)->unpack(src, pos, r.soundEnd, out, host);
    }
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  SpanSource src(data, size);
  exeRecordingVersion(src);
  exeProtectionState(src);
  exePlayerSize(src);
  exeSoundPacking(src);
  recordingDurationMs(src);
  ExeTailMatch m = findExeTail(src);
  if (m.found) {
    WindowSource prefix(src, 0, m.trailerEnd);
    exeReadsThrough(prefix);
  }
  ExeRecording r;
  if (r.open(src)) walk(src, r);
  MultiExeTrailer t;
  std::vector<SectionRecord> sections;
  if (readMultiExeTail(src, t, sections))
    for (const auto& s : sections) {
      ExeRecording sr;
      if (sr.openSection(src, s)) walk(src, sr);
    }
  return 0;
}
