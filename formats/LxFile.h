// The .lx recording file: LxHeader (40 bytes), one FrameRecord per captured
// picture (cursor block, then a FrameImage of codec type 3), the mouselist
// text and its int32 length, the mainframelist text (one decimal file offset
// per frame in time) and its int32 length at end - 44, and the 40-byte
// LxTrailer ("qorvimlxs" at +28, version 6 at +24). Sound lives beside the
// file in side files.
//
// Readers trust nothing in the file: every offset, length and line of the
// index is checked against the stream before it is used, and a damaged file
// gives -1 (or false), never an exception or a read outside the stream.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Classes.h"
#include "Graphics.h"
#include "Host.h"
#include "System.h"

struct LxHeader {
  int32_t captureTarget;  // 1 full screen, 2 window, 3 region, 4 camera
  int32_t width;
  int32_t height;
  int32_t frameCount;     // lines of the mainframelist
  int32_t pixelFormat;    // TPixelFormat ordinal: 3, 5, 6 or 7
  int32_t msPerFrame;
  int32_t reserved24;
  int32_t reserved28;
  int32_t soundSource;    // 1 live, 2 dubbed, 3 imported; 0 and others read as 1
  int32_t hasCursor;
};

constexpr int kLxHeaderSize = 40;
constexpr int kLxTrailerSize = 40;
constexpr int kLxVersion = 6;
// The cursor position that means "no cursor shown in this frame".
constexpr int kNoCursorPos = -1000;
// A cursor icon is a few kilobytes; anything larger is damage.
constexpr int kMaxCursorIconBytes = 1 << 20;

// The 40 stored bytes go through a table of fields, one int32 each.
void readLxHeader(const uint8_t* bytes, LxHeader& header);   // 40 bytes
void writeLxHeader(const LxHeader& header, uint8_t* bytes);  // 40 bytes
// The trailer every finished recording ends with.
void buildLxTrailer(uint8_t* bytes);  // 40 bytes
// The version of a 40-byte trailer, or -1 when its magic is not "qorvimlxs"
// followed by NUL.
int lxTrailerVersion(const uint8_t* trailer);

// The version of the recording at path (tools need more than 5), -1 when the
// file is shorter than a trailer, has no magic, or cannot be opened (then
// after "打开文件失败," and the path).
int lxRecordingVersion(const AnsiString& path, FormatsHost& host);

// The side-file kind of a soundSource value (1, 2 or 3; anything else is 1)
// and the side file's name: the path without ".lx", the kind, ".wav".
int lxSoundSideKind(int soundSource);
AnsiString lxSoundSideFileName(const AnsiString& lxPath, int soundSource);

// Where the two lists lie; the trailer itself is not checked.
struct LxLists {
  int64_t mouseListPos = 0;
  int32_t mouseListLength = 0;
  int64_t frameListPos = 0;
  int32_t frameListLength = 0;
};
int readLxLists(TStream& in, LxLists& lists);
int readLxFrameIndex(TStream& in, TStringList& index);
int readLxMouseList(TStream& in, TStringList& mouse);

// One frame record, located through line `frame` of the index.
struct LxFrameRecord {
  int64_t offset = 0;
  bool hasCursor = false;
  int32_t cursorX = 0, cursorY = 0;
  int64_t iconPos = 0;
  int32_t iconLength = 0;  // 0 when the block carries no icon bytes
  int64_t imagePos = 0;    // just after imageLength
  int32_t imageLength = 0;
};
int readLxFrameRecord(TStream& in, const TStringList& index, int frame, LxFrameRecord& record);

// Frame `frame` of the index (lines that repeat an offset show the same
// picture). 1, or -1 for a damaged record or image (the image decoder shows
// its message); the bitmap is left as it was on failure.
int readLxFrameImage(TStream& in, const TStringList& index, int frame, TBitmap& picture,
                     FormatsHost& host);
// The same with the cursor icon drawn at its position (none at (-1000, -1000)).
int drawLxFrame(TStream& in, const TStringList& index, int frame, TBitmap& picture,
                FormatsHost& host);
// Reads the index from the stream's tail, then drawLxFrame.
int readLxFrame(TStream& in, int frame, TBitmap& picture, FormatsHost& host);
// False (outputs untouched) when the frame has no cursor block or is damaged.
bool readLxFrameCursorPos(TStream& in, const TStringList& index, int frame, int& x, int& y);
bool readLxFrameCursor(TStream& in, const TStringList& index, int frame, TIcon& icon);

// Draws an icon (its .ico bytes) on the picture with its top-left corner at
// (x, y). Windows: DrawIconEx on the bitmap's DC; elsewhere a portable blend
// of the icon's first image.
void drawCursorIcon(TBitmap& picture, const TIcon& icon, int x, int y);
