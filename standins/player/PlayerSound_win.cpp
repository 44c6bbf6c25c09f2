// Packing 5 for the player stub: the MP3 frames of a sound block decoded to
// PCM through the ACM's MPEG Layer-3 decoder (every Windows has one; under
// Wine it is the system's own decoder).
#include "PlayerSound.h"

#include <windows.h>
#include <mmreg.h>
#include <msacm.h>

#include <cstring>

namespace {
// A damaged block cannot make the player hold more than this.
constexpr uint32_t kMaxDecodedSound = 512u << 20;
}  // namespace

// Packing 5: the MP3 frames through the ACM's MPEG Layer-3 decoder into PCM.
bool decodeMp3Block(ByteSource& src, const Mp3Block& block, std::vector<uint8_t>& wav) {
  std::vector<uint8_t> mp3;
  if (!src.readVec(block.dataOffset, block.dataLength, mp3) || mp3.empty()) return false;
  // Only the 18-byte head of the format is stored; the decoder wants the
  // MPEG Layer-3 extra bytes too.
  MPEGLAYER3WAVEFORMAT f{};
  std::memcpy(&f.wfx, block.mp3Format.data(), 18);
  if (f.wfx.wFormatTag != WAVE_FORMAT_MPEGLAYER3 || f.wfx.nSamplesPerSec == 0) return false;
  f.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
  f.wID = MPEGLAYER3_ID_MPEG;
  f.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
  f.nBlockSize = WORD(144 * f.wfx.nAvgBytesPerSec * 8 / f.wfx.nSamplesPerSec);
  f.nFramesPerBlock = 1;
  WAVEFORMATEX pcm{};
  pcm.wFormatTag = WAVE_FORMAT_PCM;
  if (acmFormatSuggest(nullptr, &f.wfx, &pcm, sizeof pcm, ACM_FORMATSUGGESTF_WFORMATTAG)) return false;
  HACMSTREAM stream;
  if (acmStreamOpen(&stream, nullptr, &f.wfx, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME))
    return false;
  std::vector<uint8_t> out;
  const DWORD chunk = 16384;
  DWORD outCap = 0;
  bool ok = acmStreamSize(stream, chunk, &outCap, ACM_STREAMSIZEF_SOURCE) == 0 && outCap > 0;
  std::vector<uint8_t> buf(outCap + 65536);
  std::size_t pos = 0;
  while (ok && pos < mp3.size()) {
    DWORD n = DWORD(mp3.size() - pos < chunk ? mp3.size() - pos : chunk);
    bool last = pos + n == mp3.size();
    ACMSTREAMHEADER h{};
    h.cbStruct = sizeof h;
    h.pbSrc = mp3.data() + pos;
    h.cbSrcLength = n;
    h.pbDst = buf.data();
    h.cbDstLength = DWORD(buf.size());
    ok = acmStreamPrepareHeader(stream, &h, 0) == 0;
    if (!ok) break;
    ok = acmStreamConvert(stream, &h, last ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN) == 0;
    acmStreamUnprepareHeader(stream, &h, 0);
    if (!ok || (h.cbSrcLengthUsed == 0 && !last)) break;  // a decoder that takes nothing stalls
    out.insert(out.end(), buf.begin(), buf.begin() + h.cbDstLengthUsed);
    if (out.size() > kMaxDecodedSound) ok = false;
    pos += last ? n : h.cbSrcLengthUsed;
  }
  acmStreamClose(stream, 0);
  if (!ok || out.empty()) return false;
  wav = wavHeader(pcm.nChannels, pcm.nSamplesPerSec, pcm.wBitsPerSample, uint32_t(out.size()));
  wav.insert(wav.end(), out.begin(), out.end());
  return true;
}

