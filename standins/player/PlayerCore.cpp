// The window-free parts of the player stub: command line, protection keys,
// MP3 block and WAV layout. See PlayerCore.h.
#include "PlayerCore.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ByteReader.h"

namespace {

// A decimal number at s[i] (optional minus sign); advances i past it.
bool readNumber(const std::string& s, std::size_t& i, int32_t& v) {
  while (i < s.size() && s[i] == ' ') ++i;
  std::size_t start = i;
  if (i < s.size() && s[i] == '-') ++i;
  std::size_t digits = i;
  int64_t n = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
    n = n * 10 + (s[i] - '0');
    if (n > INT32_MAX) return false;
    ++i;
  }
  if (i == digits) return false;
  v = static_cast<int32_t>(s[start] == '-' ? -n : n);
  while (i < s.size() && s[i] == ' ') ++i;
  return true;
}

// Scrambled images: only payloads above this size, 20 bytes at the middle.
constexpr std::size_t kScrambleMin = 10240;
constexpr std::size_t kScrambleBytes = 20;

}  // namespace

PlayerArgs parsePlayerArgs(const std::string& tail) {
  PlayerArgs a;
  a.noSound = tail.find("nowav") != std::string::npos;
  static const char kRange[] = "playfromto(";
  std::size_t at = tail.find(kRange);
  if (at != std::string::npos) {
    std::size_t i = at + sizeof kRange - 1;
    int32_t first, last;
    if (readNumber(tail, i, first) && i < tail.size() && tail[i] == ',' &&
        readNumber(tail, ++i, last) && i < tail.size() && tail[i] == ')') {
      a.range = true;
      a.first = first;
      a.last = last;
    }
  }
  return a;
}

KeyText editLockKeyText(int32_t key) {
  KeyText k{};
  char text[16];
  std::snprintf(text, sizeof text, "%d", static_cast<int>(key));
  std::memcpy(k.data(), text, std::strlen(text));
  return k;
}

KeyText passwordKeyText(const std::string& password) {
  KeyText k{};
  std::memcpy(k.data(), password.data(), password.size() < 20 ? password.size() : 20);
  return k;
}

int32_t passwordValue(const std::string& password) {
  uint32_t v = 2005;  // unsigned: the stored value wraps like the 32-bit original
  for (std::size_t i = 0; i < password.size() && password[i] != '\0'; ++i)
    v += uint32_t(uint8_t(password[i])) * uint32_t(i + i / 5 + 1);
  return static_cast<int32_t>(v);
}

bool unscrambleFrameImage(std::vector<uint8_t>& image, const KeyText& key) {
  std::size_t start = 0, length = image.size();
  if (image.size() >= 8 && getI32(image.data()) == -1 && getI32(image.data() + 4) == -1) {
    // The colour-level layout: mode, raw length and payload length stay clear.
    if (image.size() < 20) return false;
    int32_t payload = getI32(image.data() + 16);
    if (payload < 0 || std::size_t(payload) > image.size() - 20) return false;
    start = 20;
    length = std::size_t(payload);
  }
  if (length <= kScrambleMin) return true;
  uint8_t* p = image.data() + start;
  for (std::size_t i = 0; i < kScrambleBytes; ++i)
    p[length / 2 + i] ^= uint8_t(p[4 + i] ^ key[20 - i]);
  return true;
}

bool readMp3Block(ByteSource& src, int64_t pos, int64_t limit, Mp3Block& block) {
  if (limit > src.size()) limit = src.size();
  auto need = [&](int64_t n) { return pos >= 0 && n >= 0 && pos <= limit && n <= limit - pos; };
  uint8_t head[44];
  if (!need(44) || !src.readAt(pos, head, sizeof head)) return false;
  std::memcpy(block.pcmFormat.data(), head, 18);
  std::memcpy(block.mp3Format.data(), head + 18, 18);
  int32_t count = getI32(head + 40);  // after framesPerEntry
  pos += 44;
  if (count < 0 || !need((int64_t(count) + 1) * 4)) return false;
  pos += (int64_t(count) + 1) * 4;
  uint8_t len[4];
  if (!need(4) || !src.readAt(pos, len, 4)) return false;
  pos += 4;
  uint32_t n = getU32(len);
  if (!need(int64_t(n))) return false;
  block.dataOffset = pos;
  block.dataLength = n;
  return true;
}

bool readWavPcm(const std::vector<uint8_t>& wav, WavPcm& pcm) {
  if (wav.size() < 44) return false;
  pcm.channels = getU16(wav.data() + 22);
  pcm.rate = getU32(wav.data() + 24);
  pcm.bits = getU16(wav.data() + 34);
  pcm.dataOffset = 44;
  pcm.dataLength = wav.size() - 44;
  return (pcm.channels == 1 || pcm.channels == 2) && (pcm.bits == 8 || pcm.bits == 16) &&
         pcm.rate >= 1000 && pcm.rate <= 192000;
}

std::vector<uint8_t> wavHeader(uint16_t channels, uint32_t rate, uint16_t bits, uint32_t dataLength) {
  std::vector<uint8_t> h(44, 0);
  uint16_t align = uint16_t(channels * (bits / 8));
  std::memcpy(&h[0], "RIFF", 4);
  putU32(&h[4], dataLength + 36);
  std::memcpy(&h[8], "WAVEfmt ", 8);
  putU32(&h[16], 16);
  putU16(&h[20], 1);
  putU16(&h[22], channels);
  putU32(&h[24], rate);
  putU32(&h[28], rate * align);
  putU16(&h[32], align);
  putU16(&h[34], bits);
  std::memcpy(&h[36], "data", 4);
  putU32(&h[40], dataLength);
  return h;
}
