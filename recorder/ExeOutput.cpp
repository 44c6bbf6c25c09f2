// Writing a self-playing EXE recording while it is recorded, and completing
// it at the stop. Each frame record is built in memory and appended in one
// write; the frame lists and the key-frame state move on only after the
// write went through, so a failed write never leaves an index entry that
// points at a torn record.
#include "ExeOutput.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "ByteReader.h"
#include "ByteWriter.h"
#include "ChangedRegions.h"
#include "ClickList.h"
#include "FrameCodec.h"
#include "Jpeg.h"
#include "SoundTrack.h"
#include "SysUtils.h"

namespace {

void appendRect(std::vector<uint8_t>& b, const ExeFrameRect& r) {
  uint8_t p[ExeFrameRect::kSize];
  r.store(p);
  b.insert(b.end(), p, p + sizeof p);
}

void writeAll(TStream& s, const std::vector<uint8_t>& b) {
  if (!b.empty()) s.WriteBuffer(b.data(), static_cast<int>(b.size()));
}

void writeI32At(TStream& s, int64_t at, int32_t v) {
  uint8_t p[4];
  putI32(p, v);
  s.Seek(at, soFromBeginning);
  s.WriteBuffer(p, 4);
}

// The finished name: the last character of ".exw" becomes "e".
AnsiString finishedName(const AnsiString& exw) {
  std::string s = exw.str();
  if (!s.empty()) s.back() = 'e';
  return AnsiString(s);
}

// area x 100 / picture area, truncated; in 64 bits (100 full-screen
// rectangles of a large picture overflow 32).
int64_t percentOf(int64_t area, int width, int height) {
  const int64_t whole = int64_t(width) * height;
  return whole > 0 ? area * 100 / whole : 100;
}

int64_t areaOf(const std::vector<ChangedRect>& rects) {
  int64_t a = 0;
  for (const ChangedRect& r : rects) a += int64_t(r.right - r.left) * (r.bottom - r.top);
  return a;
}

}  // namespace

int parseKeyFrameInterval(const AnsiString& text) {
  const int v = StrToIntDef(Trim(text), 100);
  return v < 1 ? 100 : v;
}

// What one call of writePicture changes, applied only after its bytes are on disk.
struct ExeOutput::Frame {
  std::vector<uint8_t> bytes;
  std::vector<int64_t> offsets;                      // absolute, one per frame in time
  std::vector<std::pair<int32_t, int64_t>> keys;     // number, offset from the picture part
  int32_t lastKey;
  int64_t percentSum;
  bool iconWritten = false;
  const std::vector<uint8_t>* icon = nullptr;
};

ExeOutput::ExeOutput(const AnsiString& exwPath, const ExeOutputOptions& options,
                     FormatsHost* host)
    : path_(exwPath), options_(options), host_(host) {
  if (options_.keyFrameInterval < 1) options_.keyFrameInterval = 100;
}

ExeOutput::~ExeOutput() { stopMirror(); }  // an output dropped unfinished stays an .exw

void ExeOutput::stopMirror() {
  if (mirrorActive_ && options_.mirror) options_.mirror->stop();
  mirrorActive_ = false;
}

bool ExeOutput::open(const LxHeader& header) {
  if (file_) return false;
  failure_ = AnsiString();
  const int codec = options_.playSettings.imageCodec;
  if (codec < 0 || codec > 3 || header.width < 1 || header.height < 1) {
    failure_ = "录制参数有误";
    return false;
  }
  if (options_.mirror && codec > 0) {
    AnsiString why;
    if (!options_.mirror->start(why)) {
      failure_ = why.IsEmpty() ? AnsiString("mirror start error") : why;
      return false;
    }
    mirrorActive_ = true;
  }
  std::vector<uint8_t> stub;
  try {
    TFileStream in(options_.stubPath, fmOpenRead);
    const int64_t n = in.Size();
    if (n <= 0 || n > INT32_MAX / 2) throw EReadError("stub size");
    stub.resize(static_cast<std::size_t>(n));
    in.ReadBuffer(stub.data(), static_cast<int>(n));
  } catch (const Exception& e) {
    failure_ = "拷贝文件失败:" + options_.stubPath + "->" + path_ + " 原因:" + e.Message;
    stopMirror();
    return false;
  }
  try {
    file_ = std::make_unique<TFileStream>(path_, fmCreate);
    header_ = header;
    header_.frameCount = 0;  // the finish (or the repair) writes the real count
    stubSize_ = static_cast<int64_t>(stub.size());
    VectorSink head;
    uint8_t k[4] = {0, 0, 0, 0};  // dataStartWord: no sound yet
    head.write(stub.data(), stub.size());
    head.write(k, 4);
    writeExePictureLead(head, header_, options_.caption);
    writeAll(*file_, head.bytes);
    end_ = static_cast<int64_t>(head.bytes.size());
  } catch (const Exception& e) {
    failure_ = "拷贝文件失败:" + options_.stubPath + "->" + path_ + " 原因:" + e.Message;
    abandon();
    return false;
  }
  next_ = 0;
  lastKeyFrame_ = 0;
  changedPercentSum_ = 0;
  previous_.reset();
  lastIcon_.clear();
  frameOffsets_.Clear();
  keyFrameIndex_.Clear();
  return true;
}

void ExeOutput::cursorBlock(Frame& f, const CursorBlock& c, bool forceIcon) {
  if (header_.hasCursor != 1) return;
  ByteWriter w(f.bytes);
  w.i32(c.x).i32(c.y);
  if (forceIcon || cursorImageChanged(c.icon, lastIcon_)) {
    w.length(c.icon.size()).bytes(c.icon);
    f.iconWritten = true;
    f.icon = &c.icon;
  } else {
    w.i32(0);
  }
}

bool ExeOutput::encodeRect(const TBitmap& bmp, const ExeFrameRect& r, std::vector<uint8_t>& out) {
  const TBitmap* src = &bmp;
  TBitmap scratch;
  if (r.left != 0 || r.top != 0 || r.right != bmp.Width() || r.bottom != bmp.Height()) {
    const int bytesPerPixel = bmp.BitsPerPixel() / 8;
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (bytesPerPixel < 1 || w < 1 || h < 1) return false;
    scratch.SetPixelFormat(bmp.PixelFormat());
    scratch.SetSize(w, h);
    if (bmp.PixelFormat() == pf8bit) scratch.Palette() = bmp.Palette();
    for (int y = 0; y < h; ++y)
      std::memcpy(scratch.ScanLine(y), bmp.ScanLine(r.top + y) + r.left * bytesPerPixel,
                  static_cast<std::size_t>(w) * bytesPerPixel);
    src = &scratch;
  }
  const int codec = options_.playSettings.imageCodec;
  if (codec == 0) {
    TJPEGImage jpeg;
    jpeg.Assign(*src);
    return ByteWriter(out).length(jpeg.Data().size()).bytes(jpeg.Data()).ok();
  }
  TMemoryStream encoded;
  SilentHost silent;
  if (encodeFrameImage(*src, encoded, codec, host_ ? *host_ : silent) != 1) return false;
  out.insert(out.end(), encoded.Bytes().begin(), encoded.Bytes().end());
  return true;
}

bool ExeOutput::encodeMirror(MirrorRegion& region, std::vector<uint8_t>& out) {
  const ExeFrameRect& r = region.rect;
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (r.left < 0 || r.top < 0 || w < 1 || h < 1 || r.right > header_.width ||
      r.bottom > header_.height)
    return false;
  const std::size_t stride = (static_cast<std::size_t>(w) * 2 + 3) & ~std::size_t(3);
  if (region.pixels.size() < stride * static_cast<std::size_t>(h)) return false;
  uint8_t bmpHeader[66];
  buildBmpHeader(w, h, bmpHeader);
  return encodeReducedFrameBytes(bmpHeader, 66, region.pixels.data(),
                                 options_.playSettings.imageCodec, true, 0, out) == 1;
}

bool ExeOutput::gdiFrame(Frame& f, const TBitmap& bmp, std::vector<ChangedRect>& rects) {
  const int32_t n = next_;
  auto keyFrame = [&]() {
    f.lastKey = n;
    f.percentSum = 0;
    f.keys.push_back({n, end_ - stubSize_ - 4});
  };
  if (n == 0) {
    f.lastKey = 0;
    f.percentSum = 0;
    keyFrame();
    return true;  // the caller writes the whole picture
  }
  bool key = false;
  rects.clear();
  if (bmp.PixelFormat() == pf8bit && options_.playSettings.imageCodec == 0) {
    key = true;
  } else if (n - lastKeyFrame_ > options_.keyFrameInterval &&
             int64_t(options_.keyFrameInterval) * 10 < changedPercentSum_) {
    key = true;
  } else {
    const int found = previous_ ? findChangedRegions(bmp, *previous_, rects) : -1;
    if (found < 0) {
      key = true;
    } else if (n - lastKeyFrame_ > options_.keyFrameInterval / 2 &&
               percentOf(areaOf(rects), header_.width, header_.height) > 95) {
      key = true;
    }
  }
  if (key) keyFrame();
  return key;  // otherwise rects are the frame's updates
}

bool ExeOutput::writePicture(const RecordedPicture& picture, int framesInTime) {
  if (!file_ || failed_ || framesInTime < 1) return false;
  Frame f;
  f.lastKey = lastKeyFrame_;
  f.percentSum = changedPercentSum_;
  if (!writeFrame(f, picture, framesInTime)) return false;
  try {
    file_->Seek(end_, soFromBeginning);
    writeAll(*file_, f.bytes);
  } catch (const Exception&) {
    // end_ still marks the end of the last whole record; the finish cuts there.
    failed_ = true;
    return false;
  }
  for (int64_t o : f.offsets) frameOffsets_.Add(IntToStr(o));
  for (const auto& k : f.keys) {
    keyFrameIndex_.Add(IntToStr(k.first));
    keyFrameIndex_.Add(IntToStr(k.second));
  }
  lastKeyFrame_ = f.lastKey;
  changedPercentSum_ = f.percentSum;
  if (f.iconWritten) lastIcon_ = *f.icon;
  end_ += static_cast<int64_t>(f.bytes.size());
  next_ += framesInTime;
  if (!mirrorActive_) {
    if (!previous_) previous_ = std::make_unique<TBitmap>();
    previous_->Assign(*picture.bitmap);
  }
  return true;
}

bool ExeOutput::writeFrame(Frame& f, const RecordedPicture& picture, int framesInTime) {
  const int32_t n = next_;
  if (n > INT32_MAX - framesInTime) return false;
  f.offsets.push_back(end_);
  std::vector<uint8_t> updates;  // FrameUpdates (or frame 0's whole image)
  ByteWriter u(updates);
  bool key = false;
  try {
    if (mirrorActive_) {
      MirrorFrameSource& m = *options_.mirror;
      std::vector<MirrorRegion> regions;
      if (n == 0 || n % options_.keyFrameInterval == 0) {
        regions.resize(1);
        if (!m.grabWhole(n == 0, regions[0])) {
          failure_ = "录制过程发生错误，已停止录制";
          return false;
        }
        key = true;
        f.lastKey = n;
        f.keys.push_back({n, end_ - stubSize_ - 4});
      } else if (!m.grabChanged(regions)) {
        failure_ = "录制过程发生错误，已停止录制";
        return false;
      }
      for (MirrorRegion& r : regions) {
        if (n > 0) {
          u.i32(n);
          appendRect(updates, r.rect);
        }
        if (!encodeMirror(r, updates)) return false;
      }
    } else {
      if (!picture.bitmap || picture.bitmap->Width() != header_.width ||
          picture.bitmap->Height() != header_.height)
        return false;
      const TBitmap& bmp = *picture.bitmap;
      const ExeFrameRect whole{0, 0, header_.width, header_.height};
      std::vector<ChangedRect> rects;
      key = gdiFrame(f, bmp, rects);
      if (n == 0) {
        if (!encodeRect(bmp, whole, updates)) return false;
      } else if (key) {
        u.i32(n);
        appendRect(updates, whole);
        if (!encodeRect(bmp, whole, updates)) return false;
      } else {
        for (const ChangedRect& c : rects) {
          const ExeFrameRect r{c.left, c.top, c.right, c.bottom};
          u.i32(n);
          appendRect(updates, r);
          if (!encodeRect(bmp, r, updates)) return false;
        }
        f.percentSum = percentOf(areaOf(rects), header_.width, header_.height) + f.percentSum;
      }
    }
  } catch (const Exception&) {
    return false;  // a picture the encoders refused; nothing was written
  }
  cursorBlock(f, picture.cursor, key);
  ByteWriter w(f.bytes);
  w.bytes(updates).i32(n == 0 ? 0 : -n);
  // The ticks owed beyond the first: empty frames with the same cursor.
  for (int i = 1; i < framesInTime; ++i) {
    f.offsets.push_back(end_ + static_cast<int64_t>(f.bytes.size()));
    if (header_.hasCursor == 1) w.i32(picture.cursor.x).i32(picture.cursor.y).i32(0);
    w.i32(-(n + i));
  }
  return true;
}

bool ExeOutput::writeRepeats(int framesInTime, const CursorBlock& cursor) {
  if (!file_ || failed_ || next_ == 0 || framesInTime < 1 || next_ > INT32_MAX - framesInTime)
    return false;
  std::vector<uint8_t> bytes;
  ByteWriter w(bytes);
  std::vector<int64_t> offsets;
  for (int i = 0; i < framesInTime; ++i) {
    offsets.push_back(end_ + static_cast<int64_t>(bytes.size()));
    if (header_.hasCursor == 1) w.i32(cursor.x).i32(cursor.y).i32(0);
    w.i32(-(next_ + i));
  }
  try {
    file_->Seek(end_, soFromBeginning);
    writeAll(*file_, bytes);
  } catch (const Exception&) {
    failed_ = true;
    return false;
  }
  for (int64_t o : offsets) frameOffsets_.Add(IntToStr(o));
  end_ += static_cast<int64_t>(bytes.size());
  next_ += framesInTime;
  return true;
}

void ExeOutput::takeClicks(const TStringList& clicks) {
  clicks_.Clear();
  for (int i = 0; i < clicks.Count(); ++i) clicks_.Add(clicks[i]);
}

bool ExeOutput::writeTail(bool finishNow, bool withSound) {
  VectorSink tail;
  if (!writeExeTail(tail, clicks_.Text().str(), keyFrameIndex_.Text().str(),
                    options_.playSettings, [&] {
                      ExeTrailer t = options_.trailer;
                      t.playerSize = static_cast<int32_t>(stubSize_);
                      return t;
                    }()))
    return false;
  if (!finishNow)
    ByteWriter(tail.bytes).i32(withSound ? 1 : 0).i32(options_.addClickSounds ? 1 : 0);
  writeAll(*file_, tail.bytes);
  return true;
}

bool ExeOutput::finish(bool finishNow) {
  if (!file_) return false;
  stopMirror();
  failure_ = AnsiString();
  const bool soundRecorded = !soundPath_.IsEmpty();
  bool packed = false;
  bool done = false;
  try {
    if (failed_) file_->SetSize(end_);  // drop the torn record
    const int64_t h = stubSize_ + 4;
    writeI32At(*file_, h + 12, frameOffsets_.Count());  // LxHeader.frameCount

    if (finishNow && header_.hasCursor == 1) {
      // The cursor of a clicked frame stands exactly on the click.
      for (const ClickEvent& e : readClickEvents(clicks_)) {
        if (e.frame < 0 || e.frame >= frameOffsets_.Count()) continue;
        const int64_t at = StrToInt(frameOffsets_[e.frame]);
        writeI32At(*file_, at, clickCursorX(e));
        writeI32At(*file_, at + 4, clickCursorY(e));
      }
    }

    file_->Seek(end_, soFromBeginning);
    if (finishNow && soundRecorded && FileExists(soundPath_)) {
      stage("正在压缩声音");
      SilentHost silent;
      const int r = packSoundTrack(*file_, soundPath_, options_.playSettings.soundCodec,
                                   host_ ? *host_ : silent);
      if (r < 0) {
        // The sound stays in its side file; the pictures are closed as an
        // .exw that the finishing tools can complete later.
        if (r == -1) failure_ = "压缩声音文件失败";
        file_->SetSize(end_);
        file_->Seek(end_, soFromBeginning);
        writeTail(false, true);
        file_.reset();
        return false;
      }
      packed = true;
      const int64_t soundEnd = file_->Position();
      writeI32At(*file_, stubSize_, static_cast<int32_t>(-end_));
      file_->Seek(soundEnd, soFromBeginning);
    }
    if (finishNow) {
      if (options_.playSettings.hasMouseList == 1) stage("正在保存mouselist");
      stage("正在保存mainframelist");
    }
    done = writeTail(finishNow, soundRecorded);
    file_->SetSize(file_->Position());
  } catch (const Exception& e) {
    failure_ = e.Message;
    done = false;
  }
  file_.reset();
  if (!done || !finishNow) return done;
  stage("生成成功");

  const AnsiString exe = finishedName(path_);
  if (!RenameFile(path_, exe)) {
    // A finished EXE under the .exw name: the side file stays, so a repair
    // of it still has the sound.
    failure_ = "改名失败," + path_ + " -> " + exe;
    return true;
  }
  path_ = exe;
  // The side file goes only once the finished file reads back whole with its
  // sound block in place.
  if (packed) {
    bool readable = false;
    try {
      TFileStream check(path_, fmOpenRead);
      StreamSource src(check);
      ExeRecording rec;
      readable = rec.open(src) && rec.soundStart >= 0;
    } catch (const Exception&) {
    }
    if (readable) DeleteFile(soundPath_);
  }
  return true;
}

void ExeOutput::stage(const char* label) {
  if (options_.showStage) options_.showStage(AnsiString(label));
}

void ExeOutput::abandon() {
  stopMirror();
  const bool existed = static_cast<bool>(file_);
  file_.reset();
  if (existed) DeleteFile(path_);
  frameOffsets_.Clear();
  keyFrameIndex_.Clear();
  end_ = 0;
}

// ---- the advice after a recording ------------------------------------------------

bool exeCompressesPoorly(ByteSource& src) {
  const int version = exeRecordingVersion(src);
  if (version < 0 || version >= 100) return false;  // not a single-section EXE
  if (exeProtectionState(src) != 0 || exeSoundPacking(src) <= 1) return false;
  const int64_t s = exePlayerSize(src);
  int32_t k;
  uint8_t b[4], head[kLxHeaderSize];
  if (s < 0 || !src.readAt(s, b, 4) || !src.readAt(s + 4, head, sizeof head)) return false;
  k = getI32(b);
  if (k > 0) return false;
  LxHeader h;
  readLxHeader(head, h);
  if (h.width < 0 || h.height < 0 || h.frameCount < 0) return false;
  const int64_t d = (k < 0 ? -int64_t(k) : src.size()) - s;
  if (d <= 0) return false;
  // d x 20 > width x height x 2 x frameCount, exactly, without overflow:
  // width x height x 2 < 2^63 fits; the last factor is divided out.
  const uint64_t raw = uint64_t(h.width) * uint64_t(h.height) * 2u;
  const uint64_t d20 = uint64_t(d) * 20u;
  if (raw == 0 || h.frameCount == 0) return true;
  return (d20 - 1) / uint64_t(h.frameCount) >= raw;
}

bool exeCompressesPoorly(const AnsiString& exePath) {
  try {
    TFileStream f(exePath, fmOpenRead);
    StreamSource src(f);
    return exeCompressesPoorly(src);
  } catch (const Exception&) {
    return false;
  }
}
