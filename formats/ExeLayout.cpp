// Field tables and load/store of the fixed EXE records. Each record also has
// a layout of (offset, size) spans covering every stored byte, checked at
// compile time to tile the record exactly (FieldTable.h), so a table that
// drifts from the record's size does not build.
#include "ExeLayout.h"

#include <algorithm>
#include <cstring>

namespace {

// ---- ExePlaySettings ------------------------------------------------------
constexpr Int32Field<ExePlaySettings> kPlayFields[] = {
    {0, &ExePlaySettings::backgroundColour},
    {4, &ExePlaySettings::startMaximised},
    {8, &ExePlaySettings::positionSpecified},
    {12, &ExePlaySettings::windowX},
    {16, &ExePlaySettings::windowY},
    {20, &ExePlaySettings::standardFrame},
    {24, &ExePlaySettings::loopPlay},
    {28, &ExePlaySettings::autoZoom},
    {32, &ExePlaySettings::exitAtEnd},
    {36, &ExePlaySettings::showPlayTime},
    {40, &ExePlaySettings::fullScreen},
    {44, &ExePlaySettings::allowContextMenu},
    {48, &ExePlaySettings::allowControlWindow},
    {52, &ExePlaySettings::showControlWindowAtStart},
    // 56: title, char[24]
    {80, &ExePlaySettings::imageCodec},
    {84, &ExePlaySettings::soundCodec},
    {88, &ExePlaySettings::showInitProgress},
    {92, &ExePlaySettings::hasMouseList},
    {96, &ExePlaySettings::clickReminder},
    {100, &ExePlaySettings::denoise},
    {104, &ExePlaySettings::lowQuality},
    // 108: reserved, 72 bytes
};
static_assert(fieldsInside(kPlayFields, ExePlaySettings::kSize));
constexpr FieldSpan kPlayLayout[] = {{0, 56}, {56, 24}, {80, 28}, {108, 72}};
static_assert(tiles(kPlayLayout, ExePlaySettings::kSize));
static_assert(sizeof(kPlayFields) / sizeof(kPlayFields[0]) == 14 + 7);

// ---- ExeTrailer -----------------------------------------------------------
constexpr Int32Field<ExeTrailer> kTrailerFields[] = {
    {0, &ExeTrailer::editProtectKey},
    {4, &ExeTrailer::playPasswordKey},
    // 8: reserved, 12 bytes
    {20, &ExeTrailer::formatTag},
    {24, &ExeTrailer::version},
    {28, &ExeTrailer::playerSize},
    // 32: magic, 12 bytes
};
static_assert(fieldsInside(kTrailerFields, ExeTrailer::kSize));
constexpr FieldSpan kTrailerLayout[] = {{0, 8}, {8, 12}, {20, 12}, {32, 12}};
static_assert(tiles(kTrailerLayout, ExeTrailer::kSize));

// ---- MultiExeTrailer ------------------------------------------------------
constexpr Int32Field<MultiExeTrailer> kMultiFields[] = {
    {0, &MultiExeTrailer::formatTag},
    {4, &MultiExeTrailer::version},
    {8, &MultiExeTrailer::playerSize},
    {12, &MultiExeTrailer::sectionCount},
    {16, &MultiExeTrailer::editProtectKey},
    {20, &MultiExeTrailer::playPasswordKey},
    // 24: reserved, 32 bytes; 56: magic, 12 bytes
};
static_assert(fieldsInside(kMultiFields, MultiExeTrailer::kSize));
constexpr FieldSpan kMultiLayout[] = {{0, 24}, {24, 32}, {56, 12}};
static_assert(tiles(kMultiLayout, MultiExeTrailer::kSize));

// ---- SectionRecord --------------------------------------------------------
constexpr Int32Field<SectionRecord> kSectionFields[] = {
    // 0: title, char[52]
    {52, &SectionRecord::sectionStart},
    {56, &SectionRecord::sectionEnd},
    // 60: reserved, 20 bytes
};
static_assert(fieldsInside(kSectionFields, SectionRecord::kSize));
constexpr FieldSpan kSectionLayout[] = {{0, 52}, {52, 8}, {60, 20}};
static_assert(tiles(kSectionLayout, SectionRecord::kSize));

// ---- CustomCaption --------------------------------------------------------
constexpr Int32Field<CustomCaption> kCaptionFields[] = {
    // 0: text, char[40], scrambled
    {40, &CustomCaption::x},
    {44, &CustomCaption::y},
    {48, &CustomCaption::fontSize},
    // 52: fontName, char[20]
    {72, &CustomCaption::fontColour},
    // 76..79: bold, italic, underline, strikeout (one byte each)
};
static_assert(fieldsInside(kCaptionFields, CustomCaption::kSize));
constexpr FieldSpan kCaptionLayout[] = {{0, 40}, {40, 12}, {52, 20}, {72, 4}, {76, 4}};
static_assert(tiles(kCaptionLayout, CustomCaption::kSize));

// ---- ExeFrameRect and the .exw tail -----------------------------------------
constexpr Int32Field<ExeFrameRect> kRectFields[] = {{0, &ExeFrameRect::left},
                                                    {4, &ExeFrameRect::top},
                                                    {8, &ExeFrameRect::right},
                                                    {12, &ExeFrameRect::bottom}};
static_assert(fieldsInside(kRectFields, ExeFrameRect::kSize));
constexpr FieldSpan kRectLayout[] = {{0, 16}};
static_assert(tiles(kRectLayout, ExeFrameRect::kSize));
constexpr FieldSpan kExwLayout[] = {{0, 44}, {44, 4}, {48, 4}};
static_assert(tiles(kExwLayout, ExwTail::kSize));

bool magicAt(const uint8_t* p, const char* magic) { return std::memcmp(p, magic, 9) == 0; }

void storeMagic(uint8_t* p, const char* magic) {
  std::memset(p, 0, 12);
  std::memcpy(p, magic, 9);
}

}  // namespace

void scrambleText40(uint8_t* text40) {
  for (int i = 0; i < 40; ++i) text40[i] ^= static_cast<uint8_t>(100 - 4 * i);
}

ExePlaySettings ExePlaySettings::load(const uint8_t* p) {
  ExePlaySettings s;
  loadInt32Fields(s, p, kPlayFields);
  s.title = loadFixedText(p + kTitleOffset, kTitleSize);
  return s;
}

void ExePlaySettings::store(uint8_t* p) const {
  std::memset(p, 0, kSize);
  storeInt32Fields(*this, p, kPlayFields);
  storeFixedText(p + kTitleOffset, kTitleSize, title);
}

bool ExeTrailer::hasMagic(const uint8_t* p) { return magicAt(p + kMagicOffset, kExeMagic); }

ExeTrailer ExeTrailer::load(const uint8_t* p) {
  ExeTrailer t;
  loadInt32Fields(t, p, kTrailerFields);
  return t;
}

void ExeTrailer::store(uint8_t* p) const {
  std::memset(p, 0, kSize);
  storeInt32Fields(*this, p, kTrailerFields);
  storeMagic(p + kMagicOffset, kExeMagic);
}

bool MultiExeTrailer::hasMagic(const uint8_t* p) {
  return magicAt(p + kMagicOffset, kMultiExeMagic) && p[kMagicOffset + 9] == 0;
}

MultiExeTrailer MultiExeTrailer::load(const uint8_t* p) {
  MultiExeTrailer t;
  loadInt32Fields(t, p, kMultiFields);
  return t;
}

void MultiExeTrailer::store(uint8_t* p) const {
  std::memset(p, 0, kSize);
  storeInt32Fields(*this, p, kMultiFields);
  storeMagic(p + kMagicOffset, kMultiExeMagic);
}

SectionRecord SectionRecord::load(const uint8_t* p) {
  SectionRecord r;
  loadInt32Fields(r, p, kSectionFields);
  r.title = loadFixedText(p, kTitleSize);
  return r;
}

void SectionRecord::store(uint8_t* p) const {
  std::memset(p, 0, kSize);
  storeInt32Fields(*this, p, kSectionFields);
  storeFixedText(p, kTitleSize, title);
}

CustomCaption CustomCaption::load(const uint8_t* p) {
  CustomCaption c;
  loadInt32Fields(c, p, kCaptionFields);
  uint8_t text[kTextSize];
  std::memcpy(text, p, kTextSize);
  scrambleText40(text);
  // Older writers filled all 40 bytes without a NUL; that text is taken whole.
  c.text = loadFixedText(text, kTextSize);
  c.fontName = loadFixedText(p + kFontNameOffset, kFontNameSize);
  c.bold = p[76];
  c.italic = p[77];
  c.underline = p[78];
  c.strikeout = p[79];
  return c;
}

void CustomCaption::store(uint8_t* p) const {
  std::memset(p, 0, kSize);
  storeFixedText(p, kTextSize, text);  // at most 39 bytes and a NUL
  scrambleText40(p);
  storeInt32Fields(*this, p, kCaptionFields);
  storeFixedText(p + kFontNameOffset, kFontNameSize, fontName);
  p[76] = bold;
  p[77] = italic;
  p[78] = underline;
  p[79] = strikeout;
}

ExeFrameRect ExeFrameRect::load(const uint8_t* p) {
  ExeFrameRect r;
  loadInt32Fields(r, p, kRectFields);
  return r;
}

void ExeFrameRect::store(uint8_t* p) const { storeInt32Fields(*this, p, kRectFields); }

bool ExeFrameRect::clipTo(int32_t width, int32_t height) {
  left = std::max<int32_t>(left, 0);
  top = std::max<int32_t>(top, 0);
  right = std::min<int32_t>(right, width);
  bottom = std::min<int32_t>(bottom, height);
  return left < right && top < bottom;
}

ExwTail ExwTail::load(const uint8_t* p) {
  ExwTail t;
  t.trailer = ExeTrailer::load(p);
  t.soundRecorded = getI32(p + 44);
  t.addClickSounds = getI32(p + 48);
  return t;
}

void ExwTail::store(uint8_t* p) const {
  trailer.store(p);
  putI32(p + 44, soundRecorded);
  putI32(p + 48, addClickSounds);
}
