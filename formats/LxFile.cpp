// Reading the .lx recording file: header and trailer layouts, the version
// probe, the two lists at the tail, and the frame readers. The readers take a
// line number of the frame index (mainframelist), never a record number, so a
// frame held for several ticks reads as the same picture each time.
//
// Every value taken from the file is bounded by the stream's size before it
// is used; the index's text lines are parsed without exceptions.
#include "LxFile.h"

#include <cstring>
#include <memory>
#include <vector>

#include "ByteReader.h"
#include "ByteSource.h"
#include "ByteWriter.h"
#include "FieldTable.h"
#include "FrameCodec.h"
#include "SysUtils.h"

namespace {

const char kMagic[] = "qorvimlxs";  // sizeof includes the NUL that must follow

constexpr Int32Field<LxHeader> kHeaderFields[] = {
    {0, &LxHeader::captureTarget}, {4, &LxHeader::width},       {8, &LxHeader::height},
    {12, &LxHeader::frameCount},   {16, &LxHeader::pixelFormat}, {20, &LxHeader::msPerFrame},
    {24, &LxHeader::reserved24},   {28, &LxHeader::reserved28},  {32, &LxHeader::soundSource},
    {36, &LxHeader::hasCursor},
};
static_assert(fieldsInside(kHeaderFields, kLxHeaderSize));
static_assert(sizeof(kHeaderFields) / sizeof(kHeaderFields[0]) == 10, "every word is a field");

bool readI32At(ByteSource& in, int64_t pos, int32_t& v) {
  uint8_t b[4];
  if (!in.readAt(pos, b, 4)) return false;
  v = getI32(b);
  return true;
}

// A decimal offset line of the index, without raising for junk.
bool parseOffset(const AnsiString& line, int64_t& offset) {
  const std::string& s = line.str();
  std::size_t i = 0, end = s.size();
  while (i < end && (s[i] == ' ' || s[i] == '\t')) ++i;
  while (end > i && (s[end - 1] == ' ' || s[end - 1] == '\t')) --end;
  if (i == end) return false;
  int64_t v = 0;
  for (; i < end; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
    if (v > (int64_t(1) << 40)) return false;
  }
  offset = v;
  return true;
}

bool readText(ByteSource& in, int64_t pos, int32_t length, TStringList& list) {
  std::string text(static_cast<std::size_t>(length), '\0');
  if (length && !in.readAt(pos, &text[0], static_cast<std::size_t>(length))) return false;
  list.SetText(AnsiString(std::move(text)));
  return true;
}

}  // namespace

void readLxHeader(const uint8_t* bytes, LxHeader& header) {
  loadInt32Fields(header, bytes, kHeaderFields);
}

void writeLxHeader(const LxHeader& header, uint8_t* bytes) {
  storeInt32Fields(header, bytes, kHeaderFields);
}

void buildLxTrailer(uint8_t* bytes) {
  // 20 reserved bytes, the format tag 8, the version, the magic in 12 bytes.
  ByteWriter w(bytes, kLxTrailerSize);
  w.zeros(20).i32(8).i32(kLxVersion).text(kMagic, 12);
}

int lxTrailerVersion(const uint8_t* trailer) {
  // Nine characters and the NUL at +37; +38 and +39 are not looked at.
  if (std::memcmp(trailer + 28, kMagic, sizeof kMagic) != 0) return -1;
  return getI32(trailer + 24);
}

int lxRecordingVersion(const AnsiString& path, FormatsHost& host) {
  std::unique_ptr<TFileStream> f;
  try {
    f.reset(new TFileStream(path, fmOpenRead | fmShareDenyNone));
  } catch (const EStreamError&) {
    host.showMessage(AnsiString("打开文件失败,") + path);
    return -1;
  }
  StreamSource src(*f);
  const int64_t size = src.size();
  uint8_t trailer[kLxTrailerSize];
  if (size < kLxTrailerSize || !src.readAt(size - kLxTrailerSize, trailer, kLxTrailerSize))
    return -1;
  return lxTrailerVersion(trailer);
}

int lxSoundSideKind(int soundSource) {
  return soundSource == 2 || soundSource == 3 ? soundSource : 1;
}

AnsiString lxSoundSideFileName(const AnsiString& lxPath, int soundSource) {
  const int keep = lxPath.Length() >= 3 ? lxPath.Length() - 3 : 0;
  return lxPath.SubString(1, keep) + IntToStr(lxSoundSideKind(soundSource)) + ".wav";
}

int readLxLists(TStream& stream, LxLists& lists) {
  StreamSource in(stream);
  const int64_t size = in.size();
  // Header, the two lengths and the trailer at least.
  if (size < kLxHeaderSize + 8 + kLxTrailerSize) return -1;
  const int64_t frameLenPos = size - kLxTrailerSize - 4;
  int32_t f, m;
  if (!readI32At(in, frameLenPos, f) || f < 0) return -1;
  const int64_t framePos = frameLenPos - f;
  const int64_t mouseLenPos = framePos - 4;
  if (mouseLenPos < kLxHeaderSize) return -1;
  if (!readI32At(in, mouseLenPos, m) || m < 0 || mouseLenPos - m < kLxHeaderSize) return -1;
  lists.frameListPos = framePos;
  lists.frameListLength = f;
  lists.mouseListPos = mouseLenPos - m;
  lists.mouseListLength = m;
  return 1;
}

int readLxFrameIndex(TStream& stream, TStringList& index) {
  // The index needs only its own length: read it even when the mouse list
  // before it is damaged.
  StreamSource in(stream);
  const int64_t size = in.size();
  if (size < kLxHeaderSize + 4 + kLxTrailerSize) return -1;
  const int64_t lenPos = size - kLxTrailerSize - 4;
  int32_t f;
  if (!readI32At(in, lenPos, f) || f < 0 || lenPos - f < kLxHeaderSize) return -1;
  return readText(in, lenPos - f, f, index) ? 1 : -1;
}

int readLxMouseList(TStream& stream, TStringList& mouse) {
  LxLists lists;
  if (readLxLists(stream, lists) != 1) return -1;
  StreamSource in(stream);
  return readText(in, lists.mouseListPos, lists.mouseListLength, mouse) ? 1 : -1;
}

int readLxFrameRecord(TStream& stream, const TStringList& index, int frame,
                      LxFrameRecord& record) {
  if (frame < 0 || frame >= index.Count()) return -1;
  int64_t offset;
  if (!parseOffset(index.Strings(frame), offset)) return -1;
  StreamSource in(stream);
  const int64_t size = in.size();
  if (offset < kLxHeaderSize || offset > size - 8) return -1;
  LxFrameRecord r;
  r.offset = offset;
  int32_t flag;
  int64_t pos = offset;
  if (!readI32At(in, pos, flag)) return -1;
  pos += 4;
  if (flag == 1) {
    uint8_t block[12];
    if (!in.readAt(pos, block, 12)) return -1;
    r.hasCursor = true;
    r.cursorX = getI32(block);
    r.cursorY = getI32(block + 4);
    const int32_t iconLength = getI32(block + 8);
    pos += 12;
    r.iconPos = pos;
    // A block without icon bytes (length below 1) has nothing to skip.
    r.iconLength = iconLength > 0 ? iconLength : 0;
    if (r.iconLength > kMaxCursorIconBytes || r.iconLength > size - pos) return -1;
    pos += r.iconLength;
  }
  int32_t imageLength;
  if (!readI32At(in, pos, imageLength)) return -1;
  pos += 4;
  if (imageLength < 0 || imageLength > size - pos) return -1;
  r.imagePos = pos;
  r.imageLength = imageLength;
  record = r;
  return 1;
}

int readLxFrameImage(TStream& in, const TStringList& index, int frame, TBitmap& picture,
                     FormatsHost& host) {
  LxFrameRecord r;
  if (readLxFrameRecord(in, index, frame, r) != 1) return -1;
  in.Seek(r.imagePos, soFromBeginning);
  return decodeLxFrameImage(picture, in, r.imageLength, host);
}

int drawLxFrame(TStream& in, const TStringList& index, int frame, TBitmap& picture,
                FormatsHost& host) {
  LxFrameRecord r;
  if (readLxFrameRecord(in, index, frame, r) != 1) return -1;
  TIcon icon;
  if (r.hasCursor && r.iconLength > 0) {
    in.Seek(r.iconPos, soFromBeginning);
    icon.LoadFromStream(in, r.iconLength);
  }
  in.Seek(r.imagePos, soFromBeginning);
  if (decodeLxFrameImage(picture, in, r.imageLength, host) != 1) return -1;
  if (!icon.Empty() && !(r.cursorX == kNoCursorPos && r.cursorY == kNoCursorPos))
    drawCursorIcon(picture, icon, r.cursorX, r.cursorY);
  return 1;
}

int readLxFrame(TStream& in, int frame, TBitmap& picture, FormatsHost& host) {
  TStringList index;
  if (readLxFrameIndex(in, index) != 1) return -1;
  return drawLxFrame(in, index, frame, picture, host);
}

bool readLxFrameCursorPos(TStream& in, const TStringList& index, int frame, int& x, int& y) {
  LxFrameRecord r;
  if (readLxFrameRecord(in, index, frame, r) != 1 || !r.hasCursor) return false;
  x = r.cursorX;
  y = r.cursorY;
  return true;
}

bool readLxFrameCursor(TStream& in, const TStringList& index, int frame, TIcon& icon) {
  LxFrameRecord r;
  if (readLxFrameRecord(in, index, frame, r) != 1 || !r.hasCursor || r.iconLength <= 0)
    return false;
  in.Seek(r.iconPos, soFromBeginning);
  icon.LoadFromStream(in, r.iconLength);
  return true;
}
