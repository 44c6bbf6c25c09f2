// The recording browser's view of a file (see RecordingView.h). Every number
// that comes from a file is treated as possibly damaged: rates divide only
// when they are above 0, products are taken in 64 bits, and pictures are
// decoded by the formats library, which bounds every length it reads.
#include "RecordingView.h"

#include <cstring>
#include <memory>

#include "ExeContainer.h"
#include "ExeFrames.h"
#include "SysUtils.h"

namespace {

const char kLxNotRecognised[] = "不能识别此lx文件,可能是版本过旧或不是录像文件";
const char kExeNotValid[] = "不是一个有效的录像文件";
const char kExeNotRecognised[] = "不能识别此EXE文件,可能是版本过旧或不是录像文件";

// 1000 / msPerFrame as the 32-bit float the page shows, rounded to float
// whatever the compiler keeps in registers (x87 would keep 80 bits).
float framesPerSecond(int32_t msPerFrame) {
  volatile float f = static_cast<float>(1000.0 / msPerFrame);
  return f;
}

AnsiString twoDigits(int v) { return (v < 10 ? AnsiString("0") : AnsiString()) + IntToStr(v); }

std::unique_ptr<TFileStream> openShared(const AnsiString& path) {
  try {
    return std::unique_ptr<TFileStream>(new TFileStream(path, fmOpenRead | fmShareDenyNone));
  } catch (const EStreamError&) {
    return nullptr;
  }
}

// The speed and length pieces need a rate above 0: a line leaves them out
// when the file's rate is 0 or negative.
AnsiString speedText(int64_t framesPerSecond) {
  return ",速度:" + IntToStr(framesPerSecond) + "帧/秒";
}

}  // namespace

// ---- kinds and facts ---------------------------------------------------------------

RecordingKind recordingKindOf(const AnsiString& path) {
  const AnsiString ext = LowerCase(ExtractFileExt(path));
  if (ext == ".exw") return RecordingKind::UnfinishedExe;
  if (ext == ".avw") return RecordingKind::UnfinishedAvi;
  if (ext == ".avi") return RecordingKind::Avi;
  if (ext == ".wmv") return RecordingKind::Wmv;
  if (ext == ".exe") return RecordingKind::Exe;
  return RecordingKind::Lx;
}

bool hasLxExtension(const AnsiString& path) { return LowerCase(ExtractFileExt(path)) == ".lx"; }

int fileSizeKBOf(int64_t bytes) {
  const int32_t low = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(bytes)));
  return low / 1024;
}

int fileSizeKB(const AnsiString& path) {
  auto f = openShared(path);
  if (!f) return -1;
  return fileSizeKBOf(f->Size());
}

AnsiString creationTimeText(int year, int month, int day, int hour, int minute) {
  return IntToStr(year) + "-" + IntToStr(month) + "-" + IntToStr(day) + " " + IntToStr(hour) + ":" +
         twoDigits(minute);
}

AnsiString fileFactsText(int sizeKB, const AnsiString& created) {
  return ",文件大小:" + IntToStr(sizeKB) + "KB,创建时间:" + created;
}

AnsiString durationText(int64_t seconds) {
  if (seconds < 0) seconds = 0;
  const int64_t s = seconds % 86400;
  return twoDigits(int(s / 3600)) + ":" + twoDigits(int(s / 60 % 60)) + ":" + twoDigits(int(s % 60));
}

// ---- .lx ------------------------------------------------------------------------

bool viewLxRecording(TStream& file, const AnsiString& facts, LxView& view, TBitmap& picture,
                     FormatsHost& host) {
  view = LxView();
  StreamSource src(file);
  const int64_t size = src.size();
  uint8_t trailer[kLxTrailerSize], head[kLxHeaderSize];
  if (size < kLxHeaderSize + kLxTrailerSize || !src.readAt(size - kLxTrailerSize, trailer, sizeof trailer) ||
      lxTrailerVersion(trailer) < kLxVersion || !src.readAt(0, head, sizeof head)) {
    host.showMessage(kLxNotRecognised);
    return false;
  }
  readLxHeader(head, view.header);
  const LxHeader& h = view.header;
  view.rateKnown = h.msPerFrame > 0;
  AnsiString status = "总帧数:" + IntToStr(h.frameCount);
  if (view.rateKnown) {
    const float fps = framesPerSecond(h.msPerFrame);
    view.fpsText = FormatFloatFixed(fps, 2);
    const int whole = static_cast<int>(fps);
    view.aviFpsText = IntToStr(whole < 1 ? 1 : whole);
    status += speedText(1000 / h.msPerFrame);
  }
  view.status = status + ",宽度:" + IntToStr(h.width) + ",高度:" + IntToStr(h.height) + facts;
  // A recording whose sound never started has no frames: nothing to show.
  if (h.frameCount > 0) view.hasFrame = readLxFrame(file, 0, picture, host) == 1 && !picture.Empty();
  if (!view.hasFrame) picture.SetSize(0, 0);
  return true;
}

bool viewLxRecordingFile(const AnsiString& path, const AnsiString& facts, LxView& view,
                         TBitmap& picture, FormatsHost& host) {
  auto f = openShared(path);
  if (!f) {
    view = LxView();
    host.showMessage("打开文件失败," + path);
    host.showMessage(kLxNotRecognised);
    return false;
  }
  return viewLxRecording(*f, facts, view, picture, host);
}

LxSideFiles lxSideFiles(const AnsiString& lxPath) {
  LxSideFiles s;
  for (int k = 1; k <= 3; ++k) s.exists[k - 1] = FileExists(lxSoundSideFileName(lxPath, k));
  return s;
}

// ---- EXE ---------------------------------------------------------------------------

AnsiString exeProtectionText(int protection) {
  return protection == 1 ? AnsiString("已进行编辑加密") : protection == 2 ? AnsiString("已进行播放加密") : AnsiString();
}

void viewExeRecording(ByteSource& file, const AnsiString& path, const AnsiString& facts,
                      ExeView& view, TBitmap& picture, FormatsHost& host) {
  view = ExeView();
  const int protection = exeProtectionState(file);
  if (protection > 0) {
    view.protection = protection;
    view.status = exeProtectionText(protection);
    return;
  }

  // A file that cannot be shown shows no picture of the one before it.
  auto fail = [&](const AnsiString& message) {
    picture.SetSize(0, 0);
    host.showMessage(message);
  };
  ExeRecording recording;
  MultiExeTrailer multi;
  std::vector<SectionRecord> sections;
  uint8_t trailer[ExeTrailer::kSize];
  if (exeRecordingVersion(file) >= 100) {
    if (!readMultiExeTail(file, multi, sections)) {
      fail(kExeNotValid);
      return;
    }
    view.multiSection = true;
    view.sections = multi.sectionCount;
    const SectionRecord& first = sections.front();
    if (!file.readAt(int64_t(first.sectionEnd) - int64_t(ExeTrailer::kSize), trailer, sizeof trailer) ||
        !ExeTrailer::hasMagic(trailer)) {
      fail("此EXE文件格式不能识别," + path);
      return;
    }
    if (!recording.openSection(file, first)) {
      fail(kExeNotValid);
      return;
    }
  } else {
    if (file.size() < int64_t(ExeTrailer::kSize) ||
        !file.readAt(file.size() - int64_t(ExeTrailer::kSize), trailer, sizeof trailer) ||
        !ExeTrailer::hasMagic(trailer)) {
      fail("此EXE文件格式不能识别," + path);
      return;
    }
    if (!recording.open(file)) {
      fail(kExeNotValid);
      return;
    }
  }
  view.header = recording.header;
  const LxHeader& h = recording.header;
  if (view.multiSection) {
    view.status = "多节EXE录像,总节数:" + IntToStr(view.sections) + facts;
  } else {
    AnsiString line;
    if (h.msPerFrame > 0)
      line = "录像长度:" + durationText(int64_t(h.frameCount) * h.msPerFrame / 1000);
    line += "总帧数:" + IntToStr(h.frameCount);
    if (h.msPerFrame > 0) line += speedText(1000 / h.msPerFrame);
    view.status = line + ",宽度:" + IntToStr(h.width) + ",高度:" + IntToStr(h.height) + facts;
  }

  // Frame 0 is one whole picture after its cursor block. A picture that
  // does not decode is one more kind of damage: one message says it.
  ExeFrame frame;
  TBitmap decoded;
  SilentHost quiet;
  if (!recording.readFrame(frame, true) || frame.updates.size() != 1 ||
      !decodeExeUpdateImage(frame.updates.front().image, recording.settings.imageCodec, decoded, quiet) ||
      decoded.Empty()) {
    fail(kExeNotValid);
    return;
  }
  picture.Assign(decoded);
  if (frame.hasCursorBlock && !frame.icon.empty()) {
    TIcon icon;
    icon.SetBytes(frame.icon);
    drawCursorIcon(picture, icon, frame.cursorX, frame.cursorY);
  }
  view.hasFrame = true;
}

void viewExeRecordingFile(const AnsiString& path, const AnsiString& facts, ExeView& view,
                          TBitmap& picture, FormatsHost& host) {
  auto f = openShared(path);
  if (!f) {
    view = ExeView();
    host.showMessage("打开文件失败," + path);
    return;
  }
  StreamSource src(*f);
  viewExeRecording(src, path, facts, view, picture, host);
}

const char* const kExeUpgradeQuestion =
    "此文件为5.0/5.5版的EXE录象文件,需要进行升级后才能进行各种操作,现在升级吗?";

ExeSelection selectExeRecording(const AnsiString& path, BrowserHost& host) {
  ExeSelection sel;
  // A repair that succeeded leaves a trailer at the end, so the second pass
  // finds a version; the bound only guards against a file that changes
  // under the browser.
  for (int pass = 0; pass < 4; ++pass) {
    const int v = exeRecordingVersion(path, host);
    if (v != -1) {
      if (v == 3) host.showMessage("此文件为V3的EXE录像文件，不能对其进行处理");
      sel.show = true;
      sel.version = v;
      sel.offerUpgrade = v == 5;
      return sel;
    }
    const int damage = scanExeDamage(path);
    if (damage == 2) {
      if (!host.ask("本文件可能感染了病毒,请先使用杀毒软件杀毒,请按 否;如果确认刚刚已经杀过病毒,还是有提示的话,"
                    "可以进行强制修复,请按 是。现在要进行强制修复吗?"))
        return sel;
      if (repairExeTail(path, true) != 1) {
        host.showMessage("修复失败");
        return sel;
      }
      host.showMessage("强制修复成功,请播放试一下,如果无法成功播放,请对此文件进行 编辑/升级EXE播放器 操作");
    } else if (damage == 1) {
      if (!host.ask("此文件可能曾经被病毒感染过,杀毒后有一些残留的数据,需要先进行修复,现在进行修复吗?")) {
        host.showMessage(kExeNotRecognised);
        return sel;
      }
      if (repairExeTail(path, false) != 1) {
        host.showMessage("修复失败");
        return sel;
      }
    } else {
      host.showMessage(kExeNotRecognised);
      return sel;
    }
  }
  host.showMessage("修复失败");
  return sel;
}

// ---- AVI and WMV -------------------------------------------------------------------

AnsiString aviStatusLine(const AviStreamFacts& s, const AnsiString& facts) {
  // Frames per second as whole frames; below one frame per second the
  // length still follows from the exact rate.
  AnsiString line;
  const bool rateKnown = s.rate > 0 && s.scale > 0;
  if (rateKnown) {
    const uint32_t whole = s.rate / s.scale;
    const int64_t seconds = whole > 0 ? int64_t(s.length / whole) : int64_t(uint64_t(s.length) * s.scale / s.rate);
    line = "录像长度:" + durationText(seconds) + ",";
  }
  line += "总帧数:" + IntToStr(s.streamLength);
  if (rateKnown) line += speedText(int64_t(s.rate / s.scale));
  return line + ",宽度:" + IntToStr(s.frameRight) + ",高度:" + IntToStr(s.frameBottom) + facts;
}

AnsiString wmvStatusLine(const WmvFacts& w, const AnsiString& facts) {
  AnsiString line;
  if (w.msPerFrame > 0) line = "录像长度:" + durationText(int64_t(w.frameCount) * w.msPerFrame / 1000);
  line += "总帧数:" + IntToStr(w.frameCount) + " 比特率:" + IntToStr(w.bitRate / 1000) + "kbps";
  if (w.msPerFrame > 0) line += speedText(1000 / w.msPerFrame);
  return line + ",宽度:" + IntToStr(w.width) + ",高度:" + IntToStr(w.height) + facts;
}

bool firstFrameFits(int bitCount, int width, int height, int screenWidth, int screenHeight) {
  return bitCount >= 1 && bitCount <= 32 && width > 0 && height > 0 && int64_t(width) < 2 * int64_t(screenWidth) &&
         int64_t(height) < 2 * int64_t(screenHeight);
}

int firstFrameBitsOffset(int bitCount) { return 40 + (bitCount >= 1 && bitCount <= 8 ? 4 << bitCount : 0); }
