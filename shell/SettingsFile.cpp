// set.dat, set.def and setc.dat: reading, typed access and whole-file saving.
// The bytes of a file are split through the checked cursor; every number is
// parsed with the framework's conversions and checked against its row of the
// line table before it is used, and a line that fails reads as its fallback.
#include "SettingsFile.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "ByteReader.h"
#include "Classes.h"
#include "SysUtils.h"

namespace {

namespace L = SettingsLine;

// StrToInt without the exception: the framework's conversion, asked twice
// with different fallbacks, tells a number from a failure.
bool parseInt(const AnsiString& text, int& out) {
  int a = StrToIntDef(text, 0);
  if (a != StrToIntDef(text, 1)) return false;
  out = a;
  return true;
}

// Unsigned decimal as "%lu" writes it; a signed form is taken as its bits.
bool parseUnsigned(const AnsiString& text, uint32_t& out) {
  int s;
  if (parseInt(text, s)) {
    out = static_cast<uint32_t>(s);
    return true;
  }
  std::string t = Trim(text).str();
  if (t.empty() || t.size() > 10) return false;
  uint64_t v = 0;
  for (char c : t) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  if (v > UINT32_MAX) return false;
  out = static_cast<uint32_t>(v);
  return true;
}

bool parseTime(const AnsiString& text, double& out) {
  try {
    out = StrToFloat(text);
    return std::isfinite(out);
  } catch (const EConvertError&) {
    return false;
  }
}

bool textAcceptable(const SettingsLineInfo& row, const AnsiString& t) {
  switch (row.kind) {
  case SettingsKind::integer:
  case SettingsKind::flag: {
    int v;
    return parseInt(t, v) && v >= row.min && v <= row.max && (!row.accepts || row.accepts(v));
  }
  case SettingsKind::choice:  // compared as text: " 1" is no choice
    return t.Length() == 1 && t[1] >= '1' && t[1] <= '0' + row.max;
  case SettingsKind::keyName:
    return hotKeyCode(t) != 0;
  case SettingsKind::timeOfDay: {
    double d;
    return parseTime(t, d);
  }
  case SettingsKind::unsigned32: {
    uint32_t u;
    return parseUnsigned(t, u);
  }
  case SettingsKind::unused:
  case SettingsKind::textFlag:
  case SettingsKind::text:
    return true;
  }
  return true;
}

// A text value must stay on its own line: anything from a line break on
// would become the next lines of the file.
AnsiString oneLine(const AnsiString& text) {
  const std::string& s = text.str();
  std::size_t cut = s.find_first_of("\r\n");
  return cut == std::string::npos ? text : AnsiString(s.substr(0, cut));
}

AnsiString fitTitle(const AnsiString& title) {
  return AnsiString(title.str().substr(0, cp936FitBytes(title.str(), kExeTitleMaxBytes)));
}

std::string joinLines(const std::vector<AnsiString>& lines) {
  std::string out;
  for (const AnsiString& l : lines) {
    out += l.str();
    out += "\r\n";
  }
  return out;
}

void saveBytes(const AnsiString& path, const std::string& bytes) {
  TMemoryStream m;
  m.WriteBuffer(bytes.data(), static_cast<int>(bytes.size()));
  m.SaveToFile(path);  // the framework writes a temporary file and moves it over
}

bool loadBytes(const AnsiString& path, TMemoryStream& m) {
  if (!FileExists(path)) return false;
  try {
    m.LoadFromFile(path);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

constexpr int kSoundRates[] = {8000, 11025, 22050, 44100};

}  // namespace

std::vector<AnsiString> splitSettingsLines(const void* data, std::size_t size) {
  std::vector<AnsiString> lines;
  ByteReader in(data, size);
  std::string line;
  bool open = false;  // a line has begun and not ended
  uint8_t c;
  while (in.u8(c)) {
    if (c == '\r' || c == '\n') {
      lines.emplace_back(line);
      line.clear();
      open = false;
      if (c == '\r' && in.left() > 0 && *in.here() == '\n') in.skip(1);
    } else {
      line += static_cast<char>(c);
      open = true;
    }
  }
  if (open) lines.emplace_back(line);
  return lines;
}

// ---- packed caption position -------------------------------------------------

int32_t packCustomInfoX(const CustomInfoPlacement& p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p.corner) << 24 |
                              (static_cast<uint32_t>(p.marginX) & 0xFF) << 16 |
                              (static_cast<uint32_t>(p.x) & 0xFFFF));
}

int32_t packCustomInfoY(const CustomInfoPlacement& p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p.corner) << 24 |
                              (static_cast<uint32_t>(p.marginY) & 0xFF) << 16 |
                              (static_cast<uint32_t>(p.y) & 0xFFFF));
}

CustomInfoPlacement unpackCustomInfo(int32_t line7, int32_t line8) {
  CustomInfoPlacement p;
  if (line7 < 0x10000) {  // a plain position from before the packed form
    p.x = line7;
    p.y = line8;
    return p;
  }
  uint32_t x = static_cast<uint32_t>(line7), y = static_cast<uint32_t>(line8);
  p.x = static_cast<int>(x & 0xFFFF);
  p.y = static_cast<int>(y & 0xFFFF);
  // Margins run 0..255: read as bytes without sign, so 128..255 survive.
  p.marginX = static_cast<int>(x >> 16 & 0xFF);
  p.marginY = static_cast<int>(y >> 16 & 0xFF);
  p.corner = static_cast<int>(x >> 24);  // line7 >= 0x10000 is positive: 0..127
  return p;
}

int hotKeyCode(const AnsiString& name) {
  static const char* const kNames[] = {"F1", "F2", "F3", "F4", "F5", "F6",
                                       "F7", "F8", "F9", "F10", "F11", "F12"};
  for (int i = 0; i < 12; ++i)
    if (name == kNames[i]) return 112 + i;
  return 0;
}

// ---- SettingsFile --------------------------------------------------------------

SettingsFile::SettingsFile() {
  lines_.reserve(kLines);
  for (int i = 0; i < kLines; ++i) lines_.emplace_back(settingsLineInfo(i)->fallback);
}

const SettingsLineInfo& SettingsFile::info(int line) const {
  const SettingsLineInfo* row = settingsLineInfo(line);
  if (!row) throw ERangeError("set.dat line " + IntToStr(line) + " is not in the table");
  return *row;
}

void SettingsFile::loadFromBytes(const void* data, std::size_t size) {
  lines_ = splitSettingsLines(data, size);
  linesInFile_ = static_cast<int>(lines_.size());
  for (int i = linesInFile_; i < kLines; ++i) lines_.emplace_back(settingsLineInfo(i)->fallback);
}

bool SettingsFile::loadFromFile(const AnsiString& path) {
  TMemoryStream m;
  if (!loadBytes(path, m)) {
    *this = SettingsFile();
    return false;
  }
  loadFromBytes(m.Memory(), static_cast<std::size_t>(m.Size()));
  return true;
}

std::string SettingsFile::toBytes() const { return joinLines(lines_); }

void SettingsFile::saveToFile(const AnsiString& path) const { saveBytes(path, toBytes()); }

bool SettingsFile::usable(int line) const {
  return textAcceptable(info(line), raw(line));
}

std::vector<int> SettingsFile::fallbackLines() const {
  std::vector<int> out;
  for (int i = 0; i < kLines; ++i) {
    if (settingsLineInfo(i)->kind == SettingsKind::unused) continue;
    if (i >= linesInFile_ || !usable(i)) out.push_back(i);
  }
  return out;
}

AnsiString SettingsFile::raw(int line) const {
  if (line < 0 || line >= lineCount()) return AnsiString();
  return lines_[static_cast<std::size_t>(line)];
}

void SettingsFile::setRaw(int line, const AnsiString& text) {
  if (line < 0) throw ERangeError("set.dat line " + IntToStr(line));
  while (lineCount() <= line) {
    const SettingsLineInfo* row = settingsLineInfo(lineCount());
    lines_.emplace_back(row ? row->fallback : "");
  }
  lines_[static_cast<std::size_t>(line)] = text;
}

// Asking a line for a value its encoding cannot give is a fault of the
// caller, not of the file.
void SettingsFile::expectKind(int line, std::initializer_list<SettingsKind> kinds) const {
  SettingsKind k = info(line).kind;
  for (SettingsKind ok : kinds)
    if (k == ok) return;
  throw std::logic_error("set.dat line " + std::to_string(line) + " is not of the kind asked for");
}

AnsiString SettingsFile::usableText(int line) const {
  const SettingsLineInfo& row = info(line);
  AnsiString t = raw(line);
  return textAcceptable(row, t) ? t : AnsiString(row.fallback);
}

int SettingsFile::integer(int line) const {
  expectKind(line, {SettingsKind::integer, SettingsKind::flag, SettingsKind::choice});
  AnsiString t = usableText(line);
  if (info(line).kind == SettingsKind::choice) return t[1] - '0';
  int v = 0;
  parseInt(t, v);
  return v;
}

bool SettingsFile::flag(int line) const {
  expectKind(line, {SettingsKind::flag, SettingsKind::textFlag});
  if (info(line).kind == SettingsKind::textFlag) return raw(line) == "1";
  return integer(line) != 0;
}

AnsiString SettingsFile::text(int line) const {
  expectKind(line, {SettingsKind::text});
  AnsiString t = usableText(line);
  return line == L::exeTitle ? fitTitle(t) : t;
}

AnsiString SettingsFile::keyName(int line) const {
  expectKind(line, {SettingsKind::keyName});
  return usableText(line);
}

double SettingsFile::timeOfDay(int line) const {
  expectKind(line, {SettingsKind::timeOfDay});
  double d = 0;
  parseTime(usableText(line), d);
  return d;
}

uint32_t SettingsFile::unsigned32(int line) const {
  expectKind(line, {SettingsKind::unsigned32});
  uint32_t u = 0;
  parseUnsigned(usableText(line), u);
  return u;
}

void SettingsFile::setInteger(int line, int value) { setRaw(line, IntToStr(value)); }
void SettingsFile::setFlag(int line, bool on) { setRaw(line, on ? "1" : "0"); }
void SettingsFile::setText(int line, const AnsiString& text) { setRaw(line, oneLine(text)); }
void SettingsFile::setTimeOfDay(int line, double fraction) { setRaw(line, FloatToStr(fraction)); }
void SettingsFile::setUnsigned32(int line, uint32_t value) {
  setRaw(line, AnsiString(std::to_string(value)));
}

CustomInfoPlacement SettingsFile::customInfoPlacement() const {
  return unpackCustomInfo(integer(L::customInfoX), integer(L::customInfoY));
}

void SettingsFile::setCustomInfoPlacement(const CustomInfoPlacement& p) {
  setInteger(L::customInfoX, packCustomInfoX(p));
  setInteger(L::customInfoY, packCustomInfoY(p));
}

HotKeySettings SettingsFile::hotKeys() const {
  HotKeySettings k;
  k.ctrl = flag(L::hotkeyCtrl);
  k.alt = flag(L::hotkeyAlt);
  k.shift = flag(L::hotkeyShift);
  k.startStop = keyName(L::hotkeyStartStop);
  k.pause = keyName(L::hotkeyPause);
  k.pauseFrame = keyName(L::hotkeyPauseFrame);
  k.drawBoard = keyName(L::hotkeyDrawBoard);
  return k;
}

void SettingsFile::setHotKeys(const HotKeySettings& k) {
  setFlag(L::hotkeyCtrl, k.ctrl);
  setFlag(L::hotkeyAlt, k.alt);
  setFlag(L::hotkeyShift, k.shift);
  // The combo boxes take typed text: stored as typed, read back through the
  // key-name check.
  setText(L::hotkeyStartStop, k.startStop);
  setText(L::hotkeyPause, k.pause);
  setText(L::hotkeyPauseFrame, k.pauseFrame);
  setText(L::hotkeyDrawBoard, k.drawBoard);
}

ExePlaySettings SettingsFile::exePlaySettings(bool eightBitScreen) const {
  ExePlaySettings s;
  s.backgroundColour = integer(L::exeBgColor);
  s.startMaximised = flag(L::exeStartMaximized);
  s.positionSpecified = flag(L::exePosSpecified);
  s.windowX = integer(L::exePosX);
  s.windowY = integer(L::exePosY);
  s.standardFrame = flag(L::exeStandardWindow);
  s.loopPlay = flag(L::exeLoop);
  s.autoZoom = flag(L::exeAutoScale);
  s.exitAtEnd = flag(L::exeExitAtEnd);
  s.showPlayTime = flag(L::exeShowPlayTime);
  s.allowContextMenu = flag(L::exeRightClickMenu);
  s.allowControlWindow = flag(L::exeControlWindow);
  s.title = text(L::exeTitle).str();
  s.fullScreen = flag(L::exeFullScreen);
  s.showControlWindowAtStart = flag(L::exeControlWindowAtStart);
  s.imageCodec = eightBitScreen ? 1 : integer(L::exeImageCompression);
  s.showInitProgress = flag(L::exeInitProgressWindow);
  s.soundCodec = integer(L::exeSoundKind);
  s.clickReminder = flag(L::exeClickReminder);
  s.denoise = 0;  // line 67 is kept for the settings form, never applied to the template
  s.hasMouseList = 1;
  s.lowQuality = 0;
  return s;
}

void SettingsFile::setExePlaySettings(const ExePlaySettings& s) {
  setInteger(L::exeBgColor, s.backgroundColour);
  setInteger(L::exeStartMaximized, s.startMaximised);
  setInteger(L::exePosSpecified, s.positionSpecified);
  setInteger(L::exePosX, s.windowX);
  setInteger(L::exePosY, s.windowY);
  setInteger(L::exeStandardWindow, s.standardFrame);
  setInteger(L::exeLoop, s.loopPlay);
  setInteger(L::exeAutoScale, s.autoZoom);
  setInteger(L::exeExitAtEnd, s.exitAtEnd);
  setInteger(L::exeShowPlayTime, s.showPlayTime);
  setInteger(L::exeRightClickMenu, s.allowContextMenu);
  setInteger(L::exeControlWindow, s.allowControlWindow);
  setText(L::exeTitle, fitTitle(AnsiString(s.title)));
  setInteger(L::exeFullScreen, s.fullScreen);
  setInteger(L::exeControlWindowAtStart, s.showControlWindowAtStart);
  setInteger(L::exeImageCompression, s.imageCodec);
  setInteger(L::exeInitProgressWindow, s.showInitProgress);
  setInteger(L::exeSoundKind, s.soundCodec);
  setInteger(L::exeClickReminder, s.clickReminder);
  setInteger(L::exeDenoise, s.denoise);
}

void SettingsFile::applyFactoryDefaults(ExePlaySettings& s, bool newExe) const {
  ExePlaySettings d = exePlaySettings();
  s.backgroundColour = d.backgroundColour;
  s.startMaximised = d.startMaximised;
  s.positionSpecified = d.positionSpecified;
  s.windowX = d.windowX;
  s.windowY = d.windowY;
  s.standardFrame = d.standardFrame;
  s.loopPlay = d.loopPlay;
  s.autoZoom = d.autoZoom;
  s.exitAtEnd = d.exitAtEnd;
  s.showPlayTime = d.showPlayTime;
  s.allowContextMenu = d.allowContextMenu;
  s.allowControlWindow = d.allowControlWindow;
  s.title = d.title;
  s.fullScreen = d.fullScreen;
  s.showControlWindowAtStart = d.showControlWindowAtStart;
  s.showInitProgress = d.showInitProgress;
  if (newExe) {
    // An existing recording keeps the codecs its pictures and sound are in.
    s.imageCodec = d.imageCodec;
    s.soundCodec = d.soundCodec;
  }
}

AviCompressValues SettingsFile::aviCompressValues() const {
  const int b = L::aviCompressOptions;
  AviCompressValues v;
  v.fccType = unsigned32(b);
  v.fccHandler = unsigned32(b + 1);
  v.keyFrameEvery = unsigned32(b + 2);
  v.quality = integer(b + 3);
  v.bytesPerSecond = unsigned32(b + 4);
  v.flags = unsigned32(b + 5) | kAviCompressValid;
  v.formatSize = unsigned32(b + 6);
  v.parmsSize = unsigned32(b + 7);
  v.interleaveEvery = unsigned32(b + 8);
  return v;
}

void SettingsFile::setAviCompressValues(const AviCompressValues& v) {
  const int b = L::aviCompressOptions;
  setUnsigned32(b, v.fccType);
  setUnsigned32(b + 1, v.fccHandler);
  setUnsigned32(b + 2, v.keyFrameEvery);
  setInteger(b + 3, v.quality);
  setUnsigned32(b + 4, v.bytesPerSecond);
  setUnsigned32(b + 5, v.flags);
  setUnsigned32(b + 6, v.formatSize);
  setUnsigned32(b + 7, v.parmsSize);
  setUnsigned32(b + 8, v.interleaveEvery);
}

void SettingsFile::directWmvSettings(int out[6]) const {
  for (int i = 0; i < 6; ++i) out[i] = integer(L::directWmvSettings + i);
}

void SettingsFile::setDirectWmvSettings(const int values[6]) {
  for (int i = 0; i < 6; ++i) setInteger(L::directWmvSettings + i, values[i]);
}

DirectOutput SettingsFile::directOutput() const {
  if (flag(L::outputExe)) return DirectOutput::exe;
  if (flag(L::outputAvi)) return DirectOutput::avi;
  return DirectOutput::exe;
}

void SettingsFile::setDirectOutput(DirectOutput o) {
  setFlag(L::outputAvi, o == DirectOutput::avi);
  setFlag(L::outputExe, o == DirectOutput::exe);
}

int SettingsFile::soundBits() const { return integer(L::soundBits) == 2 ? 16 : 8; }

int SettingsFile::soundRate() const { return kSoundRates[integer(L::soundRate) - 1]; }

void SettingsFile::setSoundFormat(int bits, int rate) {
  setRaw(L::soundBits, bits == 16 ? "2" : "1");
  for (int i = 0; i < 4; ++i)
    if (kSoundRates[i] == rate) setInteger(L::soundRate, i + 1);
}

bool SettingsFile::recordCursorOn() const {
  // Line 40 is read last and decides; a file that lacks it still has line 31.
  if (L::recordCursorCopy < linesInFile_ && usable(L::recordCursorCopy))
    return flag(L::recordCursorCopy);
  return flag(L::recordCursor);
}

void SettingsFile::setRecordCursor(bool on) {
  setFlag(L::recordCursor, on);
  setFlag(L::recordCursorCopy, on);
}

// ---- working folder --------------------------------------------------------------

WorkingFolder workingFolder(const SettingsFile& s, const AnsiString& appDir) {
  AnsiString folder = s.text(SettingsLine::tempFolder);
  if (!folder.IsEmpty() && DirectoryExists(folder)) return {folder, false};
  return {appDir + "ls\\", true};
}

bool ensureFolder(const AnsiString& path) {
  if (DirectoryExists(path)) return true;
  namespace fs = std::filesystem;
#ifdef _WIN32
  fs::path p(Cp936ToWide(path));  // the W side, whatever the ANSI code page
#else
  std::string u = Cp936ToUtf8(path);
  for (char& c : u)
    if (c == '\\') c = '/';
  fs::path p(u);
#endif
  std::error_code ec;
  fs::create_directory(p, ec);
  return DirectoryExists(path);
}

// ---- whole-file rewrites -----------------------------------------------------------

void updateSettingsFile(const AnsiString& path, const std::function<void(SettingsFile&)>& change) {
  SettingsFile s;
  // A file that is there but cannot be read is not replaced by fallbacks.
  if (!s.loadFromFile(path) && FileExists(path))
    throw EFOpenError("无法打开文件 " + path);
  change(s);
  s.saveToFile(path);
}

void rewriteHotKeys(const AnsiString& path, const HotKeySettings& keys) {
  updateSettingsFile(path, [&](SettingsFile& s) { s.setHotKeys(keys); });
}

void rewriteExePlaySettings(const AnsiString& path, const ExePlaySettings& settings) {
  updateSettingsFile(path, [&](SettingsFile& s) { s.setExePlaySettings(settings); });
}

void rewriteStopTipDismissed(const AnsiString& path) {
  updateSettingsFile(path, [](SettingsFile& s) { s.setRaw(SettingsLine::stopTipDismissed, "1"); });
}

// ---- setc.dat ----------------------------------------------------------------------

KeptCodecValues::KeptCodecValues() : lines_(kLines, AnsiString("0")) {}

void KeptCodecValues::loadFromBytes(const void* data, std::size_t size) {
  lines_ = splitSettingsLines(data, size);
  while (static_cast<int>(lines_.size()) < kLines) lines_.emplace_back("0");
}

bool KeptCodecValues::loadFromFile(const AnsiString& path) {
  TMemoryStream m;
  if (!loadBytes(path, m)) {
    *this = KeptCodecValues();
    return false;
  }
  loadFromBytes(m.Memory(), static_cast<std::size_t>(m.Size()));
  return true;
}

std::string KeptCodecValues::toBytes() const { return joinLines(lines_); }

void KeptCodecValues::saveToFile(const AnsiString& path) const { saveBytes(path, toBytes()); }

int KeptCodecValues::value(int line) const {
  if (line < 0 || line >= static_cast<int>(lines_.size())) return 0;
  int v = 0;
  return parseInt(lines_[static_cast<std::size_t>(line)], v) ? v : 0;
}

void KeptCodecValues::setValue(int line, int v) {
  if (line < 0) throw ERangeError("setc.dat line " + IntToStr(line));
  while (static_cast<int>(lines_.size()) <= line) lines_.emplace_back("0");
  lines_[static_cast<std::size_t>(line)] = IntToStr(v);
}
