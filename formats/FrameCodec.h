// The frame image codec: every whole picture of an .lx recording and every
// picture or changed rectangle of a self-playing EXE is a FrameImage, an int32
// length followed by either the word layout (16-bit word run-length tokens of a
// BMP file image, optionally zlib) or the extended layout (-1, -1, mode,
// rawLength, payloadLength; optional colour reduction and 8-bit indexed
// colour). Stored recordings depend on these bytes: the token rules (word 0 a
// literal, the last word of a sequence always a run token) and the level and
// colour tables must never change.
//
// Two levels: functions on raw byte buffers (the hot paths, used by benchmarks,
// fuzzers and the command-line tool) and the TBitmap/TStream entries on top.
// Results: 1 success, -1 failure (decoders after a message through the host).
// Nothing here stops a recording: an encoder that fails returns -1 and has
// written nothing, so the caller decides what to stop or undo.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "BmpHeader.h"  // buildBmpHeader: the head of a 16-bit frame image
#include "Classes.h"
#include "Graphics.h"
#include "Host.h"

// Upper bound for any decoded picture (BMP file image or indexed picture) and
// for any token stream: a damaged length never leads to a larger allocation.
constexpr std::size_t kMaxFrameImageBytes = 256u << 20;

// ---- word run-length code --------------------------------------------------

// Writes the tokens of n little-endian words to dst and returns how many
// token words it wrote; dst must hold rleMaxTokens(n) words. With
// firstLiteral, word 0 is copied as a literal whatever follows it; the last
// word always ends in a run token (count 1 when it differs from its neighbour).
std::size_t rleEncodeWords(const uint8_t* words, std::size_t n, bool firstLiteral,
                           uint16_t* dst);
// The tokens of the sequence a (na words) followed by b (nb words), as if
// they were one buffer: word 0 a literal, runs may cross from a into b.
std::size_t rleEncodeJoined(const uint8_t* a, std::size_t na, const uint8_t* b, std::size_t nb,
                            uint16_t* dst);
// Worst case: pairs of equal words become 4-word run tokens.
inline std::size_t rleMaxTokens(std::size_t n) { return 2 * n + 8; }
// Number of words that n token words decode to.
std::size_t rleDecodedCount(const uint8_t* tokens, std::size_t n);
// Decodes n token words (little-endian bytes) into out, writing at most
// outWords words; returns the number written.
std::size_t rleDecodeWords(const uint8_t* tokens, std::size_t n, uint16_t* out,
                           std::size_t outWords);

// ---- raw entries ------------------------------------------------------------

// The 16-bit 5-6-5 colour of an index (64- or 8-colour table).
uint16_t reducedColour(int depth, uint8_t index);

// Appends a word-layout FrameImage (int32 length included) of a BMP file
// image. -1 and nothing appended for a codec type other than 1, 2, 3 or when
// the compressor fails. Large token streams are deflated in slices on worker
// threads (FrameCodecDeflate.h); the result is one zlib stream all the same.
int encodeFrameImageBytes(const uint8_t* bmp, std::size_t size, int codecType,
                          std::vector<uint8_t>& out);

// The same for a BMP file image given as its header (an even number of
// bytes) and its pixel area, read where they are: the bytes are those of
// encodeFrameImageBytes over the two joined.
int encodeFrameImageParts(const uint8_t* header, std::size_t headerSize, const uint8_t* pixels,
                          std::size_t pixelSize, int codecType, std::vector<uint8_t>& out);

// Appends an extended-layout FrameImage of a picture given as its BMP header
// (width at byte 18, height at 22, bit count at 28) and its pixel area
// (bottom-up rows padded to 4 bytes). The colour level is applied to pixels in
// place. mode is 1, 2 or 3; -1 and nothing appended for a bad header, mode or
// level, or when the compressor fails.
int encodeReducedFrameBytes(const uint8_t* header, int headerLength, uint8_t* pixels,
                            int mode, bool allowIndexed, int colourLevel,
                            std::vector<uint8_t>& out);

// Decodes the bytes that follow a FrameImage's length (either layout) into a
// BMP file image. 1, or -1 after "高度无损解压缩出错" / "解压缩1出错".
int decodeFrameImageBytes(const uint8_t* data, std::size_t size, int codecType,
                          std::vector<uint8_t>& bmp, FormatsHost& host);
// The extended payload alone (after -1, -1, mode, rawLength, payloadLength).
int decodeReducedFrameBytes(const uint8_t* payload, std::size_t payloadLength, int rawLength,
                            int mode, std::vector<uint8_t>& bmp, FormatsHost& host);

// decodeFrameImageBytes for a run of frames (saving every frame of a
// recording): the buffers stay from one image to the next, so frames of one
// size are decoded without allocating or clearing memory. The result is
// bmp(), valid until the next call; after a failure it holds nothing of use.
class FrameImageDecoder {
public:
  int decode(const uint8_t* data, std::size_t size, int codecType, FormatsHost& host);
  std::vector<uint8_t>& bmp() { return bmp_; }

private:
  std::vector<uint8_t> tokens_, bmp_;
};

// Shape of a BMP file image that decoders accept, read from its headers.
struct BmpShape {
  int width = 0;
  int height = 0;     // rows; negative heights (top-down files) are refused
  int bitCount = 0;   // 1, 4, 8, 16, 24 or 32
  uint32_t pixelOffset = 0;
  uint32_t stride = 0;
  std::size_t needed = 0;  // pixelOffset + stride * height
};
// False when the headers are damaged or do not fit size bytes.
bool readBmpShape(const uint8_t* bmp, std::size_t size, BmpShape& shape);

// ---- framework entries ------------------------------------------------------

// Appends a word-layout FrameImage of the bitmap's BMP file image at the
// stream's position and leaves the position at the stream's end. On a
// compressor failure: "高度无损压缩出错，已停止录制" and -1 (the caller stops
// the recording); nothing was written.
int encodeFrameImage(const TBitmap& picture, TStream& out, int codecType, FormatsHost& host);
// The stream stands after the int32 length; decodes either layout (the
// extended one ignores imageLength and codecType) into the bitmap and leaves
// the stream after the image. On damage the bitmap is left as it was.
int decodeFrameImage(TBitmap& picture, TStream& in, int imageLength, int codecType,
                     FormatsHost& host);
// Every .lx frame is codec type 3.
int decodeLxFrameImage(TBitmap& picture, TStream& in, int imageLength, FormatsHost& host);

// The extended encoder over a separate header and pixel area (the mirror
// driver's path); the level changes the caller's pixels.
int encodeReducedFramePixels(uint8_t* pixels, const uint8_t* header, int headerLength,
                             TStream& out, int mode, bool allowIndexed, int colourLevel,
                             FormatsHost& host);
// The same for a bitmap; the bitmap itself is left unchanged.
int encodeReducedFrameImage(const TBitmap& picture, TStream& out, int mode, bool allowIndexed,
                            int colourLevel, FormatsHost& host);
// Reads payloadLength bytes of extended payload from the stream and loads the
// picture; true when the bitmap was loaded.
bool decodeReducedFrameImage(TBitmap& picture, TStream& in, int payloadLength, int rawLength,
                             int mode, FormatsHost& host);
