// Finishing .avw recordings through AVIFile: the frames of the video-only AVI
// copied into a new file with the sound as a second stream (see AvwFinish.h
// for why a new file, and in which order the old files go).
#include <windows.h>
#include <vfw.h>

#include <memory>

#include "AvwFile.h"
#include "AvwFinish.h"
#include "SoundFitting.h"
#include "SysUtils.h"

namespace {

// Sound is copied in blocks of this many bytes, as whole samples.
constexpr LONG kSoundBlock = 100000;

struct AviSession {
  PAVIFILE file = nullptr;
  PAVISTREAM video = nullptr, sound = nullptr, wav = nullptr;
  AviSession() { AVIFileInit(); }
  ~AviSession() {
    for (PAVISTREAM s : {video, sound, wav})
      if (s) AVIStreamRelease(s);
    if (file) AVIFileRelease(file);
    AVIFileExit();
  }
};

bool moveFile(const AnsiString& from, const AnsiString& to) {
  return MoveFileW(Cp936ToWide(from).c_str(), Cp936ToWide(to).c_str()) != 0;
}

AviCopyResult copyInto(AviSession& a, TStream& in, const AviVideoScan& scan,
                       const AnsiString& wavPath, const AnsiString& targetPath, FormatsHost& host,
                       LONG& soundWritten) {
  if (!wavPath.IsEmpty() &&
      AVIStreamOpenFromFileW(&a.wav, Cp936ToWide(wavPath).c_str(), streamtypeAUDIO, 0, OF_READ,
                             nullptr) != 0) {
    a.wav = nullptr;
    return AviCopyResult::SoundFailed;
  }
  if (AVIFileOpenW(&a.file, Cp936ToWide(targetPath).c_str(), OF_CREATE | OF_SHARE_EXCLUSIVE | OF_WRITE,
                   nullptr) != 0) {
    a.file = nullptr;
    return AviCopyResult::WriteFailed;
  }
  AVISTREAMINFOW vi{};
  vi.fccType = streamtypeVIDEO;
  vi.fccHandler = scan.fccHandler;
  vi.dwScale = scan.scale;
  vi.dwRate = scan.rate;
  vi.dwSuggestedBufferSize = scan.suggestedBufferSize;
  vi.dwQuality = scan.quality;
  SetRect(&vi.rcFrame, scan.frame[0], scan.frame[1], scan.frame[2], scan.frame[3]);
  if (AVIFileCreateStreamW(a.file, &a.video, &vi) != 0) {
    a.video = nullptr;
    return AviCopyResult::WriteFailed;
  }
  if (AVIStreamSetFormat(a.video, 0, const_cast<uint8_t*>(scan.format.data()),
                         static_cast<LONG>(scan.format.size())) != 0)
    return AviCopyResult::WriteFailed;

  // Both streams exist before the first sample: the platform adds no stream
  // to a file that already holds data.
  LONG soundSample = 0, soundLength = 0;
  if (a.wav) {
    AVISTREAMINFOW si{};
    std::vector<uint8_t> format(kSoundBlock);
    LONG formatSize = kSoundBlock;
    if (AVIStreamInfoW(a.wav, &si, sizeof si) != 0 ||
        AVIStreamReadFormat(a.wav, 0, format.data(), &formatSize) != 0)
      return AviCopyResult::SoundFailed;
    if (AVIFileCreateStreamW(a.file, &a.sound, &si) != 0) {
      a.sound = nullptr;
      return AviCopyResult::SoundFailed;
    }
    if (AVIStreamSetFormat(a.sound, 0, format.data(), formatSize) != 0)
      return AviCopyResult::SoundFailed;
    AVIStreamRead(a.wav, 0, 1, nullptr, 0, &soundSample, nullptr);
    soundLength = AVIStreamLength(a.wav);
  }

  const std::size_t n = scan.frames.size();
  std::vector<uint8_t> data;
  for (std::size_t i = 0; i < n; ++i) {
    const AviFrameChunk& f = scan.frames[i];
    if (i % 64 == 0 && !host.progress(static_cast<int>(i * 90 / n))) return AviCopyResult::Cancelled;
    if (f.size == 0) continue;  // a skipped position stays skipped
    data.resize(f.size);
    in.Seek(f.offset, soFromBeginning);
    if (in.Read(data.data(), static_cast<int>(f.size)) != static_cast<int>(f.size))
      return AviCopyResult::NotAvi;
    if (AVIStreamWrite(a.video, static_cast<LONG>(i), 1, data.data(), static_cast<LONG>(f.size),
                       f.key ? AVIIF_KEYFRAME : 0, nullptr, nullptr) != 0)
      return AviCopyResult::WriteFailed;
  }

  if (a.sound && soundSample > 0 && soundLength > 0) {
    std::vector<uint8_t> block(kSoundBlock);
    const LONG perBlock = kSoundBlock / soundSample;
    for (LONG at = 0; at < soundLength;) {
      const LONG count = perBlock < soundLength - at ? perBlock : soundLength - at;
      LONG bytes = 0, samples = 0;
      if (AVIStreamRead(a.wav, at, count, block.data(), kSoundBlock, &bytes, &samples) != 0 ||
          samples <= 0)
        return AviCopyResult::SoundFailed;
      // At the stream's end as the platform counts it: Windows counts
      // samples, Wine counts blocks and refuses any other position.
      if (AVIStreamWrite(a.sound, AVIStreamLength(a.sound), samples, block.data(), bytes,
                         AVIIF_KEYFRAME, nullptr, nullptr) != 0)
        return AviCopyResult::WriteFailed;
      at += samples;
      soundWritten = at;
      if (!host.progress(90 + static_cast<int>(int64_t(at) * 10 / soundLength)))
        return AviCopyResult::Cancelled;
    }
  }
  return AviCopyResult::Done;
}

int wholeFrames(const AviVideoScan& scan) {
  int n = 0;
  for (const AviFrameChunk& f : scan.frames) n += f.size > 0;
  return n;
}

// Positions up to the last picture: skipped positions after it have no
// picture to stand for, and the copy ends with that picture.
int64_t picturePositions(const AviVideoScan& scan) {
  for (std::size_t i = scan.frames.size(); i > 0; --i)
    if (scan.frames[i - 1].size > 0) return static_cast<int64_t>(i);
  return 0;
}

}  // namespace

AnsiString finishedAviName(const AnsiString& avwPath) {
  if (avwPath.IsEmpty()) return avwPath;
  return AnsiString(avwPath.str().substr(0, avwPath.Length() - 1)) + "i";
}

AviCopyResult copyAviWithSound(const AnsiString& sourcePath, int64_t aviEnd,
                               const AnsiString& wavPath, const AnsiString& targetPath,
                               FormatsHost& host) {
  AviCopyResult r = AviCopyResult::NotAvi;
  try {
    TFileStream in(sourcePath, fmOpenRead | fmShareDenyWrite);
    AviVideoScan scan;
    if (!scanAviVideo(in, aviEnd, scan) || wholeFrames(scan) == 0) return AviCopyResult::NotAvi;
    LONG soundWritten = 0;
    {
      AviSession a;
      r = copyInto(a, in, scan, wavPath, targetPath, host, soundWritten);
    }
    // The sound header's length as samples, whatever the platform wrote there.
    if (r == AviCopyResult::Done && soundWritten > 0) {
      TFileStream out(targetPath, fmOpenReadWrite | fmShareExclusive);
      if (!setAviStreamLength(out, "auds", static_cast<uint32_t>(soundWritten)))
        r = AviCopyResult::WriteFailed;
    }
  } catch (const Exception&) {
    if (r == AviCopyResult::Done) r = AviCopyResult::WriteFailed;
    else r = AviCopyResult::NotAvi;
  }
  // The session is released above, so the file is closed here; a file that
  // did not get all its samples must not stay behind.
  if (r != AviCopyResult::Done) DeleteFile(targetPath);
  return r;
}

bool finishAvwRecording(const AnsiString& avwPath, const AnsiString& wavPath,
                        const AnsiString& clickFolder, FormatsHost& host) {
  AvwTail tail;
  AviVideoScan scan;
  bool intact = false, damagedButReadable = false;
  int64_t aviEnd = 0;
  try {
    TFileStream in(avwPath, fmOpenRead | fmShareDenyWrite);
    // The recorder defers only recordings with sound, so a tail without it
    // is no tail of ours.
    intact = readAvwTail(in, tail) && tail.plausible() && tail.soundRecorded == 1 &&
             scanAviVideo(in, tail.aviEnd, scan) && scan.complete;
    if (intact) {
      aviEnd = tail.aviEnd;
    } else {
      // The end of the file was lost: the flags read there are not flags.
      // What counts is the frames that are still whole.
      aviEnd = in.Size();
      damagedButReadable = scanAviVideo(in, aviEnd, scan) && wholeFrames(scan) > 0;
    }
  } catch (const Exception&) {
    host.showMessage(AnsiString("打开文件失败,") + avwPath);
    return false;
  }
  if (!intact && !damagedButReadable) {
    host.showMessage("wca error2,请联系作者");
    return false;
  }
  bool withSound = false;
  if (intact) {
    if (wavPath.IsEmpty()) {
      host.showMessage("wca error3,请联系作者");
      return false;
    }
    if (!FileExists(wavPath)) {
      host.showMessage(AnsiString("找不到配音文件") + wavPath + ",请联系作者");
      return false;
    }
    withSound = true;
  } else {
    withSound = !wavPath.IsEmpty() && FileExists(wavPath);
  }
  if (!host.progress(0)) return false;

  // The click sounds and the fitting go into a copy: until the finished file
  // is in place the side file must stay as the recording left it.
  const AnsiString soundCopy = avwPath + ".part.wav";
  if (withSound) {
    if (!CopyFileW(Cp936ToWide(wavPath).c_str(), Cp936ToWide(soundCopy).c_str(), FALSE)) {
      host.showMessage("wca error4");
      return false;
    }
    if (!intact) {
      fitWaveLength(soundCopy, scan.msFor(picturePositions(scan)));
    } else if (tail.addClickSounds == 1) {
      TStringList clicks;
      clicks.SetText(tail.clicks);
      if (addClickSounds(soundCopy, clickFolder, clicks, scan.framesPerSecond(), host) == -2) {
        DeleteFile(soundCopy);
        return false;
      }
    }
  }
  const AnsiString target = finishedAviName(avwPath);
  const AnsiString part = target + ".part";
  const AviCopyResult r =
      copyAviWithSound(avwPath, aviEnd, withSound ? soundCopy : AnsiString(), part, host);
  if (withSound) DeleteFile(soundCopy);
  if (r != AviCopyResult::Done) {
    if (r != AviCopyResult::Cancelled) host.showMessage("wca error4");
    return false;
  }
  if (!moveFile(part, target)) {
    DeleteFile(part);
    host.showMessage("wca error5,请联系作者");
    return false;
  }
  DeleteFile(avwPath);
  if (withSound) DeleteFile(wavPath);  // its sound is in the finished file now
  host.progress(100);
  return true;
}
