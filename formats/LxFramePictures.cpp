// Saving the frames of an .lx recording as pictures.
#include "LxFramePictures.h"

#include <exception>

#include "ByteSource.h"
#include "FrameCodecDeflate.h"
#include "Jpeg.h"
#include "SysUtils.h"

namespace {
// One worker, and the writer decoding while it would wait, keep the pictures
// coming: more threads only contend for the memory bus and the processors of
// a busy machine (1000 pictures of 1024 x 768: 1.3 s in turn, 0.8 s so, no
// better with two workers, worse with three).
int defaultWorkers() { return processorsOfProcess() > 1 ? 1 : 0; }
}  // namespace

LxFrameSeries::LxFrameSeries(int workers) : ahead_(workers < 0 ? defaultWorkers() : workers) {}

bool LxFrameSeries::open(TStream& in) {
  if (holdingFront_) ahead_.pop();
  holdingFront_ = false;
  ahead_.clear();
  nextLine_ = 0;
  lastQueued_ = -1;
  in_ = &in;
  count_ = 0;
  picture_ = nullptr;
  StreamSource src(in);
  uint8_t head[kLxHeaderSize];
  if (!src.readAt(0, head, kLxHeaderSize)) return false;
  readLxHeader(head, header_);
  if (readLxFrameIndex(in, index_) != 1) return false;
  count_ = index_.Count();
  if (header_.frameCount < count_) count_ = header_.frameCount < 0 ? 0 : header_.frameCount;
  return true;
}

bool LxFrameSeries::readImage(const LxFrameRecord& r, std::vector<uint8_t>& image) {
  image.resize(static_cast<std::size_t>(r.imageLength));
  in_->Seek(r.imagePos, soFromBeginning);
  return !r.imageLength || in_->Read(image.data(), r.imageLength) == r.imageLength;
}

void LxFrameSeries::queueAhead() {
  while (nextLine_ < count_ && ahead_.canQueue()) {
    LxFrameRecord r;
    // A damaged line is left for its own turn, which reports it.
    if (readLxFrameRecord(*in_, index_, nextLine_, r) != 1) return;
    if (r.offset != lastQueued_) {
      if (!readImage(r, image_)) return;
      ahead_.queue(r.offset, image_, 3);
      lastQueued_ = r.offset;
    }
    ++nextLine_;
  }
}

const std::vector<uint8_t>* LxFrameSeries::picture(int n, PictureKind kind) {
  if (!in_ || n < 0 || n >= count_) return nullptr;
  LxFrameRecord r;
  if (readLxFrameRecord(*in_, index_, n, r) != 1) return nullptr;
  if (picture_ && r.offset == pictureOffset_ && kind == pictureKind_) return picture_;
  picture_ = nullptr;
  try {
    if (holdingFront_) ahead_.pop();
    holdingFront_ = false;
    queueAhead();
    const std::vector<uint8_t>* bmp = nullptr;
    int decoded;
    if (!ahead_.empty() && ahead_.frontKey() == r.offset) {
      decoded = ahead_.front(bmp);
      holdingFront_ = true;
    } else {
      // Not the frame the queue expected (or no workers): decode it here
      // and queue on from the line after it.
      ahead_.clear();
      nextLine_ = n + 1;
      lastQueued_ = r.offset;
      SilentHost quiet;  // the caller reports the failure once
      decoded = readImage(r, image_) ? decoder_.decode(image_.data(), image_.size(), 3, quiet) : -1;
      bmp = &decoder_.bmp();
      queueAhead();
    }
    if (decoded != 1) return nullptr;
    TIcon icon;
    if (r.hasCursor && r.iconLength > 0 && !(r.cursorX == kNoCursorPos && r.cursorY == kNoCursorPos)) {
      in_->Seek(r.iconPos, soFromBeginning);
      icon.LoadFromStream(*in_, r.iconLength);
    }
    if (icon.Empty() && kind == PictureKind::Bmp) {
      picture_ = bmp;
    } else {
      TBitmap frame;
      {
        TMemoryStream s;
        s.WriteBuffer(bmp->data(), static_cast<int>(bmp->size()));
        s.SetPosition(0);
        frame.LoadFromStream(s);
      }
      if (!icon.Empty()) drawCursorIcon(frame, icon, r.cursorX, r.cursorY);
      pictureBytes(frame, kind, file_);
      picture_ = &file_;
    }
  } catch (const Exception&) {
    return nullptr;
  } catch (const std::exception&) {  // out of memory
    return nullptr;
  }
  pictureOffset_ = r.offset;
  pictureKind_ = kind;
  return picture_;
}

void pictureBytes(const TBitmap& picture, PictureKind kind, std::vector<uint8_t>& file) {
  if (kind == PictureKind::Jpeg) {
    TJPEGImage jpeg;
    jpeg.Assign(picture);
    file = jpeg.Data();
    return;
  }
  TMemoryStream s;
  picture.SaveToStream(s);
  file.assign(s.Memory(), s.Memory() + s.Size());
}

namespace {
// The bytes written whole to a new file at path; false, and no file left,
// when that fails.
bool writeWholeFile(const AnsiString& path, const uint8_t* data, std::size_t size) {
  try {
    TFileStream out(path, fmCreate);
    for (std::size_t done = 0; done < size;) {
      const int chunk = static_cast<int>(size - done < (1u << 30) ? size - done : (1u << 30));
      out.WriteBuffer(data + done, chunk);
      done += static_cast<std::size_t>(chunk);
    }
  } catch (const Exception&) {
    DeleteFile(path);
    return false;
  }
  return true;
}
}  // namespace

bool writePictureFile(const AnsiString& path, const uint8_t* data, std::size_t size) {
  const AnsiString temp = path + ".~tmp";
  if (!writeWholeFile(temp, data, size)) return false;
  if (RenameFile(temp, path)) return true;
  DeleteFile(temp);
  return false;
}

bool replacePictureFile(const AnsiString& path, const uint8_t* data, std::size_t size) {
  const AnsiString temp = path + ".~tmp";
  if (!writeWholeFile(temp, data, size)) return false;
  // Only a picture written whole takes the old one's place.
  if (removeFileForReplace(path) && RenameFile(temp, path)) return true;
  DeleteFile(temp);
  return false;
}

bool removeFileForReplace(const AnsiString& path) {
  if (!FileExists(path) || DeleteFile(path)) return true;
  ClearFileAttributes(path);
  return DeleteFile(path) || !FileExists(path);
}

int firstExistingPicture(const PictureSeries& names, int count) {
  for (int n = 1; n <= count; ++n)
    if (FileExists(names.path(n))) return n;
  return 0;
}

int saveFramePictures(LxFrameSeries& frames, const PictureSeries& names, FramePicturesProgress& progress,
                      int& saved) {
  saved = 0;
  const int count = frames.count();
  for (int n = 1; n <= count; ++n) {
    if (!progress.frameStarting(n, count)) return kFramePicturesCancelled;
    const AnsiString path = names.path(n);
    if (!removeFileForReplace(path)) return kFramePicturesFailed;
    const std::vector<uint8_t>* file = frames.picture(n - 1, names.kind);
    if (!file || !writePictureFile(path, file->data(), file->size())) return kFramePicturesFailed;
    ++saved;
  }
  return kFramePicturesDone;
}
