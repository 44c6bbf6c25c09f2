// Fuzz target: a lossy sound-track block (first byte: MP3 or TrueSpeech)
// through the reader and the fake decoders, which decode whatever formats and
// lengths the block claims. The reader must keep the position inside the
// block and every WAV it writes must describe exactly the samples after it.
#include <cstddef>
#include <cstdint>

#include "FakeCodec.h"
#include "SoundPackingAcm.h"
#include "SoundTrack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  SilentHost host;
  fakecodec::FakeCodecAcm acm;
  SpanSource block(data + 1, size - 1);
  VectorSink out;
  int64_t pos = 0;
  const int packing = data[0] & 1 ? kSoundTrueSpeech : kSoundMp3;
  const int r = unpackAcmSound(block, pos, block.size(), out, acm, host, packing);
  if (pos < 0 || pos > block.size()) __builtin_trap();
  if (r == 1 && (out.bytes.size() < 44 || getU32(&out.bytes[40]) != out.bytes.size() - 44)) __builtin_trap();
  return 0;
}
