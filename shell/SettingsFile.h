// The settings file set.dat (and its companions set.def and setc.dat) as the
// main form uses it: a list of text lines, one value per line, with typed
// access by line number (SettingsLines.h holds the table), the packed
// encodings, and whole-file load and save.
//
// What it guarantees: a missing, short or partly unreadable file never stops
// a reader, since every line the table knows has a fallback; the 130-line
// layout is kept; lines this program does not own (unused lines, lines past
// 129) are saved exactly as they were read; a value that would break the line
// layout (a line break inside a text) is cut there; and a save replaces the
// file only once the new one is complete. It never touches the platform
// beyond the framework's file functions. Portable.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "ExeLayout.h"
#include "SettingsLines.h"
#include "System.h"

// Splits text into lines as the framework's string list does: CR LF, LF or a
// lone CR ends a line; a last line without an end is still a line.
std::vector<AnsiString> splitSettingsLines(const void* data, std::size_t size);

// Custom caption position, kept in lines 7 and 8 as two packed words.
struct CustomInfoPlacement {
  int x = 0, y = 0;                  // free position (corner 0)
  int marginX = 30, marginY = 20;    // 0..255, distance from the corner
  int corner = 0;                    // 0 free, 1 top left, 2 top right, 3 bottom left, 4 bottom right
};
// corner << 24 | (margin & 0xFF) << 16 | (coordinate & 0xFFFF)
int32_t packCustomInfoX(const CustomInfoPlacement& p);
int32_t packCustomInfoY(const CustomInfoPlacement& p);
// A line-7 word below 65536 is a plain X and Y with the start margins and
// corner; otherwise X and Y are the low 16 bits and the margins (unsigned)
// and the corner the bytes above them.
CustomInfoPlacement unpackCustomInfo(int32_t line7, int32_t line8);

// "F1".."F12" -> 112..123 (the virtual keys); 0 for any other text.
int hotKeyCode(const AnsiString& name);

// The four hot keys (lines 0-5 and 73) as the hot-key page edits them.
struct HotKeySettings {
  bool ctrl = false, alt = false, shift = false;
  AnsiString startStop, pause, pauseFrame, drawBoard;  // key names
  // RegisterHotKey's modifier mask: Alt 1, Ctrl 2, Shift 4.
  int modifiers() const { return (ctrl ? 2 : 0) | (alt ? 1 : 0) | (shift ? 4 : 0); }
};

// Lines 50-58: the scalar fields of the platform's AVICOMPRESSOPTIONS.
struct AviCompressValues {
  uint32_t fccType = 0, fccHandler = 0, keyFrameEvery = 0;
  int32_t quality = 0;
  uint32_t bytesPerSecond = 0, flags = 0, formatSize = 0, parmsSize = 0, interleaveEvery = 0;
};
inline constexpr uint32_t kAviCompressValid = 8;  // AVICOMPRESSF_VALID

enum class DirectOutput { avi, exe, wmv };

// The title of ExePlaySettings has 24 bytes with its NUL.
inline constexpr std::size_t kExeTitleMaxBytes = 23;

class SettingsFile {
public:
  static constexpr int kLines = SettingsLine::count;
  static constexpr int kExeFirstLine = 10, kExeLastLine = 28;

  // Every line of the table holds its fallback text.
  SettingsFile();

  // Replaces the lines by the file's; lines the file lacks get their fallback
  // text, so the list always has at least 130 lines.
  void loadFromBytes(const void* data, std::size_t size);
  // False when there is no file or it cannot be read; the lines then all hold
  // their fallbacks. Never throws.
  bool loadFromFile(const AnsiString& path);
  // The whole list, CR LF after each line.
  std::string toBytes() const;
  // Writes beside the file and moves the result over it; raises the
  // framework's stream error when that fails, leaving the old file.
  void saveToFile(const AnsiString& path) const;

  // How the last load went: lines the file had (0 for none), and the lines of
  // the table whose text was missing or unusable and so read as fallback.
  int linesInFile() const { return linesInFile_; }
  std::vector<int> fallbackLines() const;
  bool usable(int line) const;

  int lineCount() const { return static_cast<int>(lines_.size()); }
  // The stored text of a line as it stands ("" past the end).
  AnsiString raw(int line) const;
  // Stores text; extends the list with fallbacks when the line is past its end.
  void setRaw(int line, const AnsiString& text);

  // Typed reads; an unusable or missing line reads as its fallback. Asking
  // a line for a kind it does not hold raises std::logic_error.
  int integer(int line) const;              // integer, flag and choice lines
  bool flag(int line) const;                // flag: non-zero; text flag: exactly "1"
  AnsiString text(int line) const;          // line 22 cut to 23 bytes
  AnsiString keyName(int line) const;       // a usable key name
  int keyCode(int line) const { return hotKeyCode(keyName(line)); }
  double timeOfDay(int line) const;
  uint32_t unsigned32(int line) const;

  // Typed writes in each line's encoding.
  void setInteger(int line, int value);     // "%i"
  void setFlag(int line, bool on);          // "1" / "0"
  void setText(int line, const AnsiString& text);  // cut at the first line break
  void setTimeOfDay(int line, double fraction);
  void setUnsigned32(int line, uint32_t value);    // "%lu"

  // The grouped values the program reads and writes together.
  CustomInfoPlacement customInfoPlacement() const;
  void setCustomInfoPlacement(const CustomInfoPlacement& p);
  HotKeySettings hotKeys() const;
  void setHotKeys(const HotKeySettings& k);
  // The template every new EXE recording receives: cleared, filled from lines
  // 10-28, with denoise 0 (line 67 is not applied), hasMouseList 1, and the
  // lossless image codec on an 8-bit screen.
  ExePlaySettings exePlaySettings(bool eightBitScreen = false) const;
  void setExePlaySettings(const ExePlaySettings& s);  // lines 10-28 and 67
  // The factory defaults of set.def (same line layout) applied to a
  // template: lines 10-24 and 26 always, 25 and 27 only for a new EXE.
  void applyFactoryDefaults(ExePlaySettings& s, bool newExe) const;
  // AVICOMPRESSF_VALID is added on reading.
  AviCompressValues aviCompressValues() const;
  void setAviCompressValues(const AviCompressValues& v);
  void directWmvSettings(int out[6]) const;
  void setDirectWmvSettings(const int values[6]);
  // Line 37 wins over line 36; neither gives EXE. The file keeps no WMV.
  DirectOutput directOutput() const;
  void setDirectOutput(DirectOutput o);
  int soundBits() const;  // 8 or 16
  int soundRate() const;  // 8000, 11025, 22050 or 44100
  void setSoundFormat(int bits, int rate);
  // Lines 31 and 40 feed the same check box; line 40 decides.
  bool recordCursorOn() const;
  void setRecordCursor(bool on);
  // Line 97 is stored negated: "0" shows the guide.
  bool showGuideAtStart() const { return !flag(SettingsLine::guideAtStart); }
  void setShowGuideAtStart(bool show) { setFlag(SettingsLine::guideAtStart, !show); }
  // Line 6: empty means the stop-key reminder is still to be shown.
  bool stopTipDismissed() const { return !raw(SettingsLine::stopTipDismissed).IsEmpty(); }

private:
  const SettingsLineInfo& info(int line) const;
  void expectKind(int line, std::initializer_list<SettingsKind> kinds) const;
  AnsiString usableText(int line) const;  // the line, or its fallback

  std::vector<AnsiString> lines_;
  int linesInFile_ = 0;
};

// The working folder of line 38: the folder when it exists, else the program
// folder followed by "ls\", which the caller must then create.
struct WorkingFolder {
  AnsiString path;
  bool fellBack = false;
};
WorkingFolder workingFolder(const SettingsFile& s, const AnsiString& appDir);
// Creates a folder (one level) when it does not exist yet; true when it
// exists afterwards.
bool ensureFolder(const AnsiString& path);

// Whole-file rewrites of the lines one writer owns: load the file (missing
// lines take their fallbacks), change, save it whole. They raise the
// framework's stream error when the save fails.
void updateSettingsFile(const AnsiString& path, const std::function<void(SettingsFile&)>& change);
void rewriteHotKeys(const AnsiString& path, const HotKeySettings& keys);        // lines 0-5, 73
void rewriteExePlaySettings(const AnsiString& path, const ExePlaySettings& s);  // lines 10-28, 67
void rewriteStopTipDismissed(const AnsiString& path);                           // line 6 = "1"

// setc.dat: 100 lines of decimal values; lines 0 and 1 keep the codec's
// display flags switched off for the run. A missing file reads as all "0";
// lines past 99 and unreadable lines are kept as they stand.
class KeptCodecValues {
public:
  static constexpr int kLines = 100;
  KeptCodecValues();
  bool loadFromFile(const AnsiString& path);  // false when missing or unreadable
  void loadFromBytes(const void* data, std::size_t size);
  void saveToFile(const AnsiString& path) const;
  std::string toBytes() const;
  int value(int line) const;  // 0 when missing or not a number
  void setValue(int line, int v);

private:
  std::vector<AnsiString> lines_;
};
