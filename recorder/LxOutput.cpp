// Writing an .lx recording while it is recorded, and finishing it at the stop.
#include "LxOutput.h"

#include "ByteReader.h"
#include "ByteWriter.h"
#include "ClickList.h"
#include "FrameCodec.h"
#include "SysUtils.h"

namespace {

// A FrameImage is its int32 length and exactly that many bytes.
bool wellFormedImage(const std::vector<uint8_t>& image) {
  if (image.size() < 4) return false;
  const int32_t n = getI32(image.data());
  return n >= 0 && static_cast<std::size_t>(n) == image.size() - 4;
}

void writeBytes(TStream& s, const std::vector<uint8_t>& b) {
  if (!b.empty()) s.WriteBuffer(b.data(), static_cast<int>(b.size()));
}

}  // namespace

LxOutput::LxOutput(const AnsiString& path, FormatsHost* host) : path_(path), host_(host) {}

LxOutput::~LxOutput() = default;  // an output dropped unfinished stays unfinished

bool LxOutput::open(const LxHeader& header) {
  if (file_) return false;
  try {
    file_ = std::make_unique<TFileStream>(path_, fmCreate);
    LxHeader h = header;
    h.frameCount = 0;
    uint8_t bytes[kLxHeaderSize];
    writeLxHeader(h, bytes);
    file_->WriteBuffer(bytes, kLxHeaderSize);
    end_ = kLxHeaderSize;
    return true;
  } catch (const Exception&) {
    abandon();
    return false;
  }
}

bool LxOutput::writePicture(const RecordedPicture& picture, int framesInTime) {
  if (!file_ || failed_ || framesInTime < 1) return false;
  std::vector<uint8_t> record;
  ByteWriter w(record);
  const CursorBlock& c = picture.cursor;
  if (c.present)
    w.i32(1).i32(c.x).i32(c.y).length(c.icon.size()).bytes(c.icon);
  else
    w.i32(0);
  if (!w.ok()) return false;
  try {
    if (!picture.image.empty()) {
      if (!wellFormedImage(picture.image)) return false;
      record.insert(record.end(), picture.image.begin(), picture.image.end());
    } else {
      if (!picture.bitmap) return false;
      TMemoryStream encoded;
      SilentHost silent;
      if (encodeFrameImage(*picture.bitmap, encoded, 3, host_ ? *host_ : silent) != 1) return false;
      record.insert(record.end(), encoded.Bytes().begin(), encoded.Bytes().end());
    }
    file_->Seek(end_, soFromBeginning);
    writeBytes(*file_, record);
  } catch (const Exception&) {
    // A short write leaves part of a record; end_ still marks where the last
    // whole record ended, and the index never points past it.
    failed_ = true;
    return false;
  }
  const AnsiString line = IntToStr(end_);
  for (int i = 0; i < framesInTime; ++i) index_.Add(line);
  end_ += static_cast<int64_t>(record.size());
  return true;
}

void LxOutput::takeClicks(const TStringList& clicks) {
  clicks_.Clear();
  for (int i = 0; i < clicks.Count(); ++i) clicks_.Add(clicks[i]);
}

bool LxOutput::finish(bool) {
  if (!file_) return false;
  bool done = false;
  try {
    if (failed_) file_->SetSize(end_);  // drop the torn record before the lists
    // Cursors first, then the count, the lists and last the trailer: until
    // the trailer is on disk the file reads as unfinished.
    for (const ClickEvent& e : readClickEvents(clicks_))
      patchLxFrameCursor(*file_, index_, e.frame, clickCursorX(e), clickCursorY(e));

    uint8_t head[kLxHeaderSize];
    file_->Seek(0, soFromBeginning);
    file_->ReadBuffer(head, kLxHeaderSize);
    LxHeader h;
    readLxHeader(head, h);
    h.frameCount = index_.Count();
    writeLxHeader(h, head);
    file_->Seek(0, soFromBeginning);
    file_->WriteBuffer(head, kLxHeaderSize);

    std::vector<uint8_t> tail;
    ByteWriter w(tail);
    for (const TStringList* list : {&clicks_, &index_}) {
      const AnsiString text = list->Text();
      w.bytes(text.str()).length(text.str().size());
    }
    if (!w.ok()) throw EWriteError("list too long");
    uint8_t trailer[kLxTrailerSize];
    buildLxTrailer(trailer);
    file_->Seek(end_, soFromBeginning);
    writeBytes(*file_, tail);
    file_->WriteBuffer(trailer, kLxTrailerSize);
    end_ += static_cast<int64_t>(tail.size()) + kLxTrailerSize;
    done = true;
  } catch (const Exception&) {
    done = false;
  }
  file_.reset();
  return done;
}

void LxOutput::abandon() {
  const bool existed = static_cast<bool>(file_);
  file_.reset();
  if (existed) DeleteFile(path_);
  index_.Clear();
  end_ = 0;
}

bool patchLxFrameCursor(TStream& stream, const TStringList& index, int frame, int x, int y) {
  if (frame < 0 || frame >= index.Count()) return false;
  int64_t offset;
  try {
    offset = StrToInt(index[frame]);
  } catch (const EConvertError&) {
    return false;
  }
  const int64_t size = stream.Size();
  if (offset < 0 || offset + 12 > size) return false;
  uint8_t block[12];
  stream.Seek(offset, soFromBeginning);
  if (stream.Read(block, 4) != 4 || getI32(block) != 1) return false;
  putI32(block, x);
  putI32(block + 4, y);
  stream.Seek(offset + 4, soFromBeginning);
  return stream.Write(block, 8) == 8;
}
