// The rows of the set.dat line table. The fallbacks are the designed values
// of the controls a line fills and the start values of the members it sets;
// where neither is fixed, the neutral choice is named beside the row. A
// fallback must itself pass its row's test (checked by the tests).
#include "SettingsLines.h"

#include <climits>

namespace {

constexpr int kMin = INT_MIN, kMax = INT_MAX;

bool imageCodecKnown(int v) { return v >= 0 && v <= 3; }                   // JPEG, 3 lossless kinds
bool soundCodecKnown(int v) { return v == 1 || v == 2 || v == 5 || v == 6; }  // raw, zlib, MP3, TrueSpeech

using K = SettingsKind;
namespace L = SettingsLine;

// Lines not listed here are unused: 29, 44-49 and 74-93.
constexpr SettingsLineInfo kRows[] = {
    // The shipped keys are bare function keys (F2 stops, F3 pauses).
    {L::hotkeyCtrl, "hotkeyCtrl", K::textFlag, "0", 0, 0, nullptr},
    {L::hotkeyAlt, "hotkeyAlt", K::textFlag, "0", 0, 0, nullptr},
    {L::hotkeyShift, "hotkeyShift", K::textFlag, "0", 0, 0, nullptr},
    {L::hotkeyStartStop, "hotkeyStartStop", K::keyName, "F2", 0, 0, nullptr},
    {L::hotkeyPause, "hotkeyPause", K::keyName, "F3", 0, 0, nullptr},
    {L::hotkeyPauseFrame, "hotkeyPauseFrame", K::keyName, "F4", 0, 0, nullptr},
    {L::stopTipDismissed, "stopTipDismissed", K::text, "", 0, 0, nullptr},
    // Packed position words: X 0 with margin 30, Y 0 with margin 20, corner 0.
    {L::customInfoX, "customInfoX", K::integer, "1966080", kMin, kMax, nullptr},
    {L::customInfoY, "customInfoY", K::integer, "1310720", kMin, kMax, nullptr},
    {L::customInfoText, "customInfoText", K::text, "", 0, 0, nullptr},
    // The playback-settings form as designed.
    {L::exeBgColor, "exeBgColor", K::integer, "0", kMin, kMax, nullptr},
    {L::exeStartMaximized, "exeStartMaximized", K::flag, "1", kMin, kMax, nullptr},
    {L::exePosSpecified, "exePosSpecified", K::flag, "1", kMin, kMax, nullptr},
    {L::exePosX, "exePosX", K::integer, "0", kMin, kMax, nullptr},
    {L::exePosY, "exePosY", K::integer, "0", kMin, kMax, nullptr},
    {L::exeStandardWindow, "exeStandardWindow", K::flag, "1", kMin, kMax, nullptr},
    {L::exeLoop, "exeLoop", K::flag, "0", kMin, kMax, nullptr},
    {L::exeAutoScale, "exeAutoScale", K::flag, "0", kMin, kMax, nullptr},
    {L::exeExitAtEnd, "exeExitAtEnd", K::flag, "1", kMin, kMax, nullptr},
    {L::exeShowPlayTime, "exeShowPlayTime", K::flag, "0", kMin, kMax, nullptr},
    {L::exeRightClickMenu, "exeRightClickMenu", K::flag, "0", kMin, kMax, nullptr},
    {L::exeControlWindow, "exeControlWindow", K::flag, "0", kMin, kMax, nullptr},
    {L::exeTitle, "exeTitle", K::text, "", 0, 0, nullptr},
    {L::exeFullScreen, "exeFullScreen", K::flag, "0", kMin, kMax, nullptr},
    {L::exeControlWindowAtStart, "exeControlWindowAtStart", K::flag, "0", kMin, kMax, nullptr},
    {L::exeImageCompression, "exeImageCompression", K::integer, "2", 0, 3, imageCodecKnown},
    {L::exeInitProgressWindow, "exeInitProgressWindow", K::flag, "0", kMin, kMax, nullptr},
    {L::exeSoundKind, "exeSoundKind", K::integer, "1", 1, 6, soundCodecKnown},
    {L::exeClickReminder, "exeClickReminder", K::flag, "0", kMin, kMax, nullptr},
    // Recording page. Sound and cursor on, direct recording into an EXE:
    // the program's own advice is to record directly.
    {L::recordSound, "recordSound", K::flag, "1", kMin, kMax, nullptr},
    {L::recordCursor, "recordCursor", K::flag, "1", kMin, kMax, nullptr},
    {L::autoCheck8, "autoCheck8", K::flag, "0", kMin, kMax, nullptr},
    {L::stopOnTooManyFrames, "stopOnTooManyFrames", K::flag, "1", kMin, kMax, nullptr},
    {L::recordDirect, "recordDirect", K::flag, "1", kMin, kMax, nullptr},
    {L::customInfoOn, "customInfoOn", K::flag, "0", kMin, kMax, nullptr},
    {L::outputAvi, "outputAvi", K::flag, "0", kMin, kMax, nullptr},
    {L::outputExe, "outputExe", K::flag, "1", kMin, kMax, nullptr},
    // Empty: the working folder falls back to the program folder's "ls\".
    {L::tempFolder, "tempFolder", K::text, "", 0, 0, nullptr},
    {L::showRegionBeforeRecording, "showRegionBeforeRecording", K::flag, "0", kMin, kMax, nullptr},
    {L::recordCursorCopy, "recordCursorCopy", K::flag, "1", kMin, kMax, nullptr},
    {L::windowWhileRecording, "windowWhileRecording", K::choice, "1", 1, 3, nullptr},
    // Members' start values: 8 bits, 11025 samples per second.
    {L::soundBits, "soundBits", K::choice, "1", 1, 2, nullptr},
    {L::soundRate, "soundRate", K::choice, "2", 1, 4, nullptr},
    // AVICOMPRESSOPTIONS starts cleared; fccHandler 0 picks the default compressor.
    {50, "aviCompressOptions.fccType", K::unsigned32, "0", 0, 0, nullptr},
    {51, "aviCompressOptions.fccHandler", K::unsigned32, "0", 0, 0, nullptr},
    {52, "aviCompressOptions.dwKeyFrameEvery", K::unsigned32, "0", 0, 0, nullptr},
    {53, "aviCompressOptions.dwQuality", K::integer, "0", kMin, kMax, nullptr},
    {54, "aviCompressOptions.dwBytesPerSecond", K::unsigned32, "0", 0, 0, nullptr},
    {55, "aviCompressOptions.dwFlags", K::unsigned32, "0", 0, 0, nullptr},
    {56, "aviCompressOptions.cbFormat", K::unsigned32, "0", 0, 0, nullptr},
    {57, "aviCompressOptions.cbParms", K::unsigned32, "0", 0, 0, nullptr},
    {58, "aviCompressOptions.dwInterleaveEvery", K::unsigned32, "0", 0, 0, nullptr},
    // The members start at 0 and empty, which gives no usable font: the
    // usual Chinese UI face at 12 points, black.
    {L::customInfoFontSize, "customInfoFontSize", K::integer, "12", kMin, kMax, nullptr},
    {L::customInfoFontColor, "customInfoFontColor", K::integer, "0", kMin, kMax, nullptr},
    {L::customInfoFontName, "customInfoFontName", K::text, "宋体", 0, 0, nullptr},
    {L::customInfoBold, "customInfoBold", K::textFlag, "0", 0, 0, nullptr},
    {L::customInfoItalic, "customInfoItalic", K::textFlag, "0", 0, 0, nullptr},
    {L::customInfoUnderline, "customInfoUnderline", K::textFlag, "0", 0, 0, nullptr},
    {L::customInfoStrikeOut, "customInfoStrikeOut", K::textFlag, "0", 0, 0, nullptr},
    {L::clickSound, "clickSound", K::flag, "0", kMin, kMax, nullptr},
    {L::exeDenoise, "exeDenoise", K::flag, "0", kMin, kMax, nullptr},
    {L::frameRate, "frameRate", K::integer, "5", kMin, kMax, nullptr},
    {L::recordVideoOverlay, "recordVideoOverlay", K::flag, "1", kMin, kMax, nullptr},
    {L::captureLayered, "captureLayered", K::flag, "0", kMin, kMax, nullptr},
    {L::useMirrorDriver, "useMirrorDriver", K::flag, "0", kMin, kMax, nullptr},
    {L::keepDisplaySpecialSetting, "keepDisplaySpecialSetting", K::flag, "0", kMin, kMax, nullptr},
    // "0" is the file's way of saying F11.
    {L::hotkeyDrawBoard, "hotkeyDrawBoard", K::keyName, "F11", 0, 0, nullptr},
    {L::drawTool, "drawTool", K::integer, "0", 0, 1, nullptr},
    // 0 (and anything the width list lacks) is read as 4.
    {L::drawPenWidth, "drawPenWidth", K::integer, "4", 1, 8, nullptr},
    {L::drawPenColor, "drawPenColor", K::integer, "16711680", kMin, kMax, nullptr},  // blue swatch
    {L::guideAtStart, "guideAtStart", K::flag, "0", kMin, kMax, nullptr},  // "0": show the guide
    {L::deferFinalProcessing, "deferFinalProcessing", K::flag, "0", kMin, kMax, nullptr},
    {L::scheduleStartTime, "scheduleStartTime", K::timeOfDay, "0", 0, 0, nullptr},
    {L::scheduleEndTime, "scheduleEndTime", K::timeOfDay, "0", 0, 0, nullptr},
    // Direct WMV: not film-like, automatic fixed rate, original size; the
    // zero values leave the dialog's designed texts.
    {101, "directWmvSettings.notVideo", K::integer, "1", kMin, kMax, nullptr},
    {102, "directWmvSettings.bitRateMode", K::integer, "0", -1, 1, nullptr},
    {103, "directWmvSettings.bitRateKbps", K::integer, "0", kMin, kMax, nullptr},
    {104, "directWmvSettings.sizeMode", K::integer, "0", 0, 2, nullptr},
    {105, "directWmvSettings.width", K::integer, "0", kMin, kMax, nullptr},
    {106, "directWmvSettings.height", K::integer, "0", kMin, kMax, nullptr},
    // 0 for right and bottom stands for the screen's size.
    {L::regionLeft, "regionLeft", K::integer, "0", kMin, kMax, nullptr},
    {L::regionTop, "regionTop", K::integer, "0", kMin, kMax, nullptr},
    {L::regionRight, "regionRight", K::integer, "0", kMin, kMax, nullptr},
    {L::regionBottom, "regionBottom", K::integer, "0", kMin, kMax, nullptr},
    {L::cameraSpecialSetting, "cameraSpecialSetting", K::flag, "0", kMin, kMax, nullptr},
    {L::timeCaptionPosition, "timeCaptionPosition", K::integer, "3", 1, 5, nullptr},  // top right, as designed
    {L::timeCaptionX, "timeCaptionX", K::integer, "0", kMin, kMax, nullptr},
    {L::timeCaptionY, "timeCaptionY", K::integer, "0", kMin, kMax, nullptr},
    {L::timeCaptionFlag, "timeCaptionFlag", K::flag, "0", kMin, kMax, nullptr},
    {L::timeCaptionBackColor, "timeCaptionBackColor", K::integer, "0", kMin, kMax, nullptr},
    // "0": the time caption keeps its designed font, colours and transparency.
    {L::timeCaptionFontSize, "timeCaptionFontSize", K::integer, "0", kMin, kMax, nullptr},
    {L::timeCaptionFontColor, "timeCaptionFontColor", K::integer, "0", kMin, kMax, nullptr},
    {L::timeCaptionFontName, "timeCaptionFontName", K::text, "", 0, 0, nullptr},
    {L::timeCaptionBold, "timeCaptionBold", K::textFlag, "0", 0, 0, nullptr},
    {L::timeCaptionItalic, "timeCaptionItalic", K::textFlag, "0", 0, 0, nullptr},
    {L::timeCaptionUnderline, "timeCaptionUnderline", K::textFlag, "0", 0, 0, nullptr},
    {L::timeCaptionStrikeOut, "timeCaptionStrikeOut", K::textFlag, "0", 0, 0, nullptr},
    {L::timeCaptionOn, "timeCaptionOn", K::flag, "0", kMin, kMax, nullptr},
    {L::keepMixerSettings, "keepMixerSettings", K::flag, "0", kMin, kMax, nullptr},
    {L::mixerSource, "mixerSource", K::integer, "-1", kMin, kMax, nullptr},  // -1: none saved
    {L::mixerVolume, "mixerVolume", K::integer, "-1", -1, 100, nullptr},
    {L::monitorWindowChoice, "monitorWindowChoice", K::flag, "0", kMin, kMax, nullptr},
    // Off until the user asks: no network traffic on a first run.
    {L::autoUpdateNotice, "autoUpdateNotice", K::flag, "0", kMin, kMax, nullptr},
};

struct Table {
  SettingsLineInfo rows[SettingsLine::count];
  constexpr Table() : rows() {
    for (int i = 0; i < SettingsLine::count; ++i)
      rows[i] = {i, "", SettingsKind::unused, "0", 0, 0, nullptr};
    for (const auto& r : kRows) rows[r.line] = r;
  }
};
constexpr Table kTable;

}  // namespace

const SettingsLineInfo* settingsLineInfo(int line) {
  if (line < 0 || line >= SettingsLine::count) return nullptr;
  return &kTable.rows[line];
}
