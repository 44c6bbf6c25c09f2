// The line table of the settings file set.dat: for each of its 130 lines the
// name the program uses for it, how its text is encoded, which texts are
// acceptable, and the text that stands in for it when the file lacks the line
// or holds something unusable there. Data only; the reading and writing live
// in SettingsFile. Portable.
#pragma once

namespace SettingsLine {
// Line numbers of set.dat. Ranges are named by their first line.
enum : int {
  hotkeyCtrl = 0,
  hotkeyAlt = 1,
  hotkeyShift = 2,
  hotkeyStartStop = 3,
  hotkeyPause = 4,
  hotkeyPauseFrame = 5,
  stopTipDismissed = 6,
  customInfoX = 7,
  customInfoY = 8,
  customInfoText = 9,
  exeBgColor = 10,
  exeStartMaximized = 11,
  exePosSpecified = 12,
  exePosX = 13,
  exePosY = 14,
  exeStandardWindow = 15,
  exeLoop = 16,
  exeAutoScale = 17,
  exeExitAtEnd = 18,
  exeShowPlayTime = 19,
  exeRightClickMenu = 20,
  exeControlWindow = 21,
  exeTitle = 22,
  exeFullScreen = 23,
  exeControlWindowAtStart = 24,
  exeImageCompression = 25,
  exeInitProgressWindow = 26,
  exeSoundKind = 27,
  exeClickReminder = 28,
  recordSound = 30,
  recordCursor = 31,
  autoCheck8 = 32,
  stopOnTooManyFrames = 33,
  recordDirect = 34,
  customInfoOn = 35,
  outputAvi = 36,
  outputExe = 37,
  tempFolder = 38,
  showRegionBeforeRecording = 39,
  recordCursorCopy = 40,
  windowWhileRecording = 41,
  soundBits = 42,
  soundRate = 43,
  aviCompressOptions = 50,  // 50-58
  customInfoFontSize = 59,
  customInfoFontColor = 60,
  customInfoFontName = 61,
  customInfoBold = 62,
  customInfoItalic = 63,
  customInfoUnderline = 64,
  customInfoStrikeOut = 65,
  clickSound = 66,
  exeDenoise = 67,
  frameRate = 68,
  recordVideoOverlay = 69,
  captureLayered = 70,
  useMirrorDriver = 71,
  keepDisplaySpecialSetting = 72,
  hotkeyDrawBoard = 73,
  drawTool = 94,
  drawPenWidth = 95,
  drawPenColor = 96,
  guideAtStart = 97,
  deferFinalProcessing = 98,
  scheduleStartTime = 99,
  scheduleEndTime = 100,
  directWmvSettings = 101,  // 101-106
  regionLeft = 107,
  regionTop = 108,
  regionRight = 109,
  regionBottom = 110,
  cameraSpecialSetting = 111,
  timeCaptionPosition = 112,
  timeCaptionX = 113,
  timeCaptionY = 114,
  timeCaptionFlag = 115,
  timeCaptionBackColor = 116,
  timeCaptionFontSize = 117,
  timeCaptionFontColor = 118,
  timeCaptionFontName = 119,
  timeCaptionBold = 120,
  timeCaptionItalic = 121,
  timeCaptionUnderline = 122,
  timeCaptionStrikeOut = 123,
  timeCaptionOn = 124,
  keepMixerSettings = 125,
  mixerSource = 126,
  mixerVolume = 127,
  monitorWindowChoice = 128,
  autoUpdateNotice = 129,
  count = 130,
};
}  // namespace SettingsLine

enum class SettingsKind {
  unused,     // no meaning to this program; carried along as it stands
  integer,    // signed decimal, the framework's StrToInt
  flag,       // integer; non-zero is on; written "1"/"0"
  textFlag,   // exactly "1" is on, any other text off; written "1"/"0"
  choice,     // exactly one of the texts "1".."max"
  keyName,    // "F1".."F12"
  text,       // taken as it stands
  timeOfDay,  // decimal fraction of a day, '.' as separator
  unsigned32, // unsigned decimal 0..4294967295 (a signed form is taken too)
};

struct SettingsLineInfo {
  int line;
  const char* key;       // name without the "SettingsFile." prefix; "" when unused
  SettingsKind kind;
  const char* fallback;  // stands in for a missing or unusable line
  int min, max;          // accepted range of integer and choice lines
  bool (*accepts)(int);  // further test of an integer value, or null
};

// The row of line 0..129 (unused lines included); null outside that range.
const SettingsLineInfo* settingsLineInfo(int line);
