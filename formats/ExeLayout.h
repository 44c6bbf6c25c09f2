// The fixed records of a self-playing EXE recording (playback settings,
// trailers, section table, custom caption, frame rectangle, the unfinished
// .exw tail) as tables of fields with explicit little-endian load and store.
// File bytes are never reinterpreted as structs: each record is read from and
// written to a byte array through its field table. Text fields hold CP936 and
// are cut by bytes without splitting a double-byte character (loadFixedText,
// storeFixedText). Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ByteReader.h"
#include "ByteWriter.h"
#include "FieldTable.h"

// XORs byte i of a 40-byte caption with (100 - 4i) mod 256; its own inverse.
void scrambleText40(uint8_t* text40);

inline constexpr char kExeMagic[] = "qorvimdvq";    // single-section trailer
inline constexpr char kMultiExeMagic[] = "qorvimedj";  // multi-section trailer
inline constexpr int32_t kExeFormatTag = 8;
inline constexpr int32_t kExeVersion = 8;
inline constexpr int kMaxSections = 50;

// 180 bytes of player options, at end - 224 of a single-section EXE. A new
// record is zero but for hasMouseList; writers copy the main window's template.
struct ExePlaySettings {
  int32_t backgroundColour = 0;
  int32_t startMaximised = 0;
  int32_t positionSpecified = 0;
  int32_t windowX = 0;
  int32_t windowY = 0;
  int32_t standardFrame = 0;
  int32_t loopPlay = 0;
  int32_t autoZoom = 0;
  int32_t exitAtEnd = 0;
  int32_t showPlayTime = 0;
  int32_t fullScreen = 0;
  int32_t allowContextMenu = 0;
  int32_t allowControlWindow = 0;
  int32_t showControlWindowAtStart = 0;
  std::string title;  // char[24] at 56
  int32_t imageCodec = 0;
  int32_t soundCodec = 0;
  int32_t showInitProgress = 0;
  int32_t hasMouseList = 1;
  int32_t clickReminder = 0;
  int32_t denoise = 0;
  int32_t lowQuality = 0;

  static constexpr std::size_t kSize = 180;
  static constexpr uint32_t kTitleOffset = 56, kTitleSize = 24;
  static ExePlaySettings load(const uint8_t* p);
  void store(uint8_t* p) const;  // reserved bytes 108..179 are written 0
};

// The last 44 bytes of a single-section EXE.
struct ExeTrailer {
  int32_t editProtectKey = 0;
  int32_t playPasswordKey = 0;
  int32_t formatTag = kExeFormatTag;
  int32_t version = kExeVersion;
  int32_t playerSize = 0;

  static constexpr std::size_t kSize = 44;
  static constexpr uint32_t kMagicOffset = 32;
  // The magic's nine characters; the byte after them is not examined (it is
  // forced to NUL before the comparison).
  static bool hasMagic(const uint8_t* p);
  static ExeTrailer load(const uint8_t* p);
  void store(uint8_t* p) const;
};

// The last 68 bytes of a multi-section EXE.
struct MultiExeTrailer {
  int32_t formatTag = kExeFormatTag;
  int32_t version = kExeVersion;
  int32_t playerSize = 0;
  int32_t sectionCount = 0;
  int32_t editProtectKey = 0;
  int32_t playPasswordKey = 0;

  static constexpr std::size_t kSize = 68;
  static constexpr uint32_t kMagicOffset = 56;
  // The magic's nine characters followed by a NUL.
  static bool hasMagic(const uint8_t* p);
  static MultiExeTrailer load(const uint8_t* p);
  void store(uint8_t* p) const;
};

// One entry of the section table of a multi-section EXE (80 bytes).
struct SectionRecord {
  std::string title;  // char[52]
  int32_t sectionStart = 0;
  int32_t sectionEnd = 0;

  static constexpr std::size_t kSize = 80;
  static constexpr uint32_t kTitleSize = 52;
  static SectionRecord load(const uint8_t* p);
  void store(uint8_t* p) const;
};

// The custom caption of an EXE picture part (80 bytes at picture part + 80).
// The text is held here in clear; the stored form is scrambled.
struct CustomCaption {
  std::string text;  // char[40], scrambled when stored
  int32_t x = 0;
  int32_t y = 0;
  int32_t fontSize = 0;
  std::string fontName;  // char[20]
  int32_t fontColour = 0;
  uint8_t bold = 0, italic = 0, underline = 0, strikeout = 0;

  static constexpr std::size_t kSize = 80;
  static constexpr uint32_t kTextSize = 40, kFontNameOffset = 52, kFontNameSize = 20;
  static CustomCaption load(const uint8_t* p);
  void store(uint8_t* p) const;
};

// The rectangle of a FrameUpdate (16 bytes); right and bottom are exclusive.
struct ExeFrameRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;

  static constexpr std::size_t kSize = 16;
  static ExeFrameRect load(const uint8_t* p);
  void store(uint8_t* p) const;
  // Clipped to 0..width x 0..height; false when nothing is left.
  bool clipTo(int32_t width, int32_t height);
};

// The end of an unfinished direct recording (.exw): the ExeTrailer followed by
// two flags, so the trailer stands at end - 52.
struct ExwTail {
  ExeTrailer trailer;
  int32_t soundRecorded = 0;
  int32_t addClickSounds = 0;

  static constexpr std::size_t kSize = 52;
  static ExwTail load(const uint8_t* p);
  void store(uint8_t* p) const;
};
