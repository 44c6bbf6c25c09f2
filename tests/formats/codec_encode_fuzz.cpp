// libFuzzer target: the encoders' fast paths on arbitrary words. The word
// run-length coder (four literals a step) must give the tokens that a cut
// into two joined parts gives and that decode back to the words; the tokens
// deflated in any number of slices must inflate, with plain zlib, to the
// tokens. Byte 0 picks the slice count (1 to 16), byte 1 the cut; the rest
// are the words.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "FrameCodec.h"
#include "FrameCodecDeflate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int slices = 1 + data[0] % 16;
  const std::size_t cutPick = data[1];
  data += 2;
  size -= 2;
  const std::size_t n = size / 2;
  const std::size_t cut = cutPick % (n + 1);

  std::vector<uint16_t> whole(rleMaxTokens(n)), joined(rleMaxTokens(n));
  const std::size_t count = rleEncodeWords(data, n, true, whole.data());
  const std::size_t countJoined = rleEncodeJoined(data, cut, data + 2 * cut, n - cut, joined.data());
  if (count != countJoined || std::memcmp(whole.data(), joined.data(), 2 * count) != 0) __builtin_trap();

  const uint8_t* tokens = reinterpret_cast<const uint8_t*>(whole.data());
  if (rleDecodedCount(tokens, count) != n) __builtin_trap();
  std::vector<uint16_t> words(n + 1);
  if (rleDecodeWords(tokens, count, words.data(), n) != n ||
      (n && std::memcmp(words.data(), data, 2 * n) != 0))
    __builtin_trap();

  std::vector<uint8_t> z;
  if (!deflateToZlibSlices(tokens, 2 * count, 5, slices, z)) __builtin_trap();
  std::vector<uint8_t> back(2 * count + 1);
  uLongf got = static_cast<uLongf>(back.size());
  if (uncompress(back.data(), &got, z.data(), static_cast<uLong>(z.size())) != Z_OK ||
      got != 2 * count || (count && std::memcmp(back.data(), tokens, 2 * count) != 0))
    __builtin_trap();
  return 0;
}
