// The portable part of the streams and lists: TStream's helpers,
// TMemoryStream, TStringList and TList. TFileStream lives in the platform
// files (Classes_posix.cpp, Classes_win.cpp).
#include "Classes.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "Internal.h"
#include "SysUtils.h"

namespace {

// Saves a whole image of a file: written beside it under a temporary name and
// moved over it only when complete, so a failed save leaves the old file.
void saveWholeFile(const AnsiString& path, const uint8_t* data, std::size_t size) {
  AnsiString temp = path + ".~tmp";
  {
    TFileStream out(temp, fmCreate);
    std::size_t done = 0;
    try {
      while (done < size) {
        int chunk = static_cast<int>(std::min<std::size_t>(size - done, 1 << 20));
        out.WriteBuffer(data + done, chunk);
        done += static_cast<std::size_t>(chunk);
      }
    } catch (...) {
      DeleteFile(temp);
      throw;
    }
  }
  if (!ReplaceFileWith(temp, path)) {
    DeleteFile(temp);
    throw EFOpenError("无法创建文件 " + path);
  }
}

}  // namespace

// --- TStream ------------------------------------------------------------------

int64_t TStream::Size() {
  int64_t pos = Seek(0, soFromCurrent);
  int64_t end = Seek(0, soFromEnd);
  Seek(pos, soFromBeginning);
  return end;
}

void TStream::ReadBuffer(void* buffer, int count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("读取流错误");
}

void TStream::WriteBuffer(const void* buffer, int count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError("写入流错误");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  if (count < 0) throw EReadError("读取流错误");
  const int64_t kChunk = 64 * 1024;
  std::vector<uint8_t> buf(static_cast<std::size_t>(std::min(count, kChunk)));
  int64_t left = count;
  while (left > 0) {
    int n = static_cast<int>(std::min(left, kChunk));
    source.ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    left -= n;
  }
  return count;
}

// --- TMemoryStream --------------------------------------------------------------

int TMemoryStream::Read(void* buffer, int count) {
  int64_t size = Size();
  if (count <= 0 || pos_ >= size) return 0;
  int n = static_cast<int>(std::min<int64_t>(count, size - pos_));
  std::memcpy(buffer, data_.data() + pos_, static_cast<std::size_t>(n));
  pos_ += n;
  return n;
}

int TMemoryStream::Write(const void* buffer, int count) {
  if (count <= 0) return 0;
  // A 32-bit process cannot hold a memory stream beyond its address space.
  if (pos_ > static_cast<int64_t>(SIZE_MAX / 2) - count) throw EWriteError("内存流过大");
  std::size_t end = static_cast<std::size_t>(pos_) + static_cast<std::size_t>(count);
  if (end > data_.size()) data_.resize(end);  // a gap left by a seek past the end reads as zeros
  std::memcpy(data_.data() + pos_, buffer, static_cast<std::size_t>(count));
  pos_ = static_cast<int64_t>(end);
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == soFromBeginning ? 0 : origin == soFromCurrent ? pos_ : Size();
  int64_t target = base + offset;
  // A position before the start would make the next read or write address
  // memory outside the buffer: untrusted offsets end here as an error.
  if (target < 0) throw EStreamError("流定位越界");
  pos_ = target;
  return pos_;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0 || size > static_cast<int64_t>(SIZE_MAX / 2)) throw EStreamError("流大小无效");
  data_.resize(static_cast<std::size_t>(size));
  if (pos_ > size) pos_ = size;
}

void TMemoryStream::LoadFromStream(TStream& source) {
  source.SetPosition(0);
  int64_t size = source.Size();
  data_.resize(static_cast<std::size_t>(size));
  pos_ = 0;
  int64_t done = 0;
  while (done < size) {
    int n = static_cast<int>(std::min<int64_t>(size - done, 1 << 20));
    source.ReadBuffer(data_.data() + done, n);
    done += n;
  }
}

void TMemoryStream::SaveToStream(TStream& dest) {
  int64_t done = 0, size = Size();
  while (done < size) {
    int n = static_cast<int>(std::min<int64_t>(size - done, 1 << 20));
    dest.WriteBuffer(data_.data() + done, n);
    done += n;
  }
}

void TMemoryStream::LoadFromFile(const AnsiString& path) {
  TFileStream in(path, fmOpenRead | fmShareDenyNone);
  LoadFromStream(in);
}

void TMemoryStream::SaveToFile(const AnsiString& path) { saveWholeFile(path, data_.data(), data_.size()); }

// --- TStringList ------------------------------------------------------------------

namespace {
[[noreturn]] void listIndexError(int index) {
  throw EStringListError("列表索引越界 (" + IntToStr(index) + ")");
}
}  // namespace

int TStringList::Add(const AnsiString& line) {
  lines_.push_back(line);
  return Count() - 1;
}

void TStringList::Insert(int index, const AnsiString& line) {
  if (index < 0 || index > Count()) listIndexError(index);
  lines_.insert(lines_.begin() + index, line);
}

void TStringList::Delete(int index) {
  if (index < 0 || index >= Count()) listIndexError(index);
  lines_.erase(lines_.begin() + index);
}

int TStringList::IndexOf(const AnsiString& line) const {
  // The framework's list compares without regard to (ASCII) case.
  AnsiString want = line.LowerCase();
  for (int i = 0; i < Count(); ++i)
    if (lines_[static_cast<std::size_t>(i)].LowerCase() == want) return i;
  return -1;
}

const AnsiString& TStringList::Strings(int index) const {
  if (index < 0 || index >= Count()) listIndexError(index);
  return lines_[static_cast<std::size_t>(index)];
}

void TStringList::SetString(int index, const AnsiString& line) {
  if (index < 0 || index >= Count()) listIndexError(index);
  lines_[static_cast<std::size_t>(index)] = line;
}

AnsiString TStringList::Text() const {
  std::string out;
  for (const AnsiString& l : lines_) {
    out += l.str();
    out += "\r\n";
  }
  return AnsiString(std::move(out));
}

void TStringList::SetText(const AnsiString& text) {
  lines_.clear();
  const std::string& s = text.str();
  std::size_t start = 0, i = 0;
  while (i < s.size()) {
    if (s[i] == '\r' || s[i] == '\n') {
      lines_.emplace_back(s.substr(start, i - start));
      if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < s.size()) lines_.emplace_back(s.substr(start));
}

void TStringList::LoadFromStream(TStream& stream) {
  int64_t left = stream.Size() - stream.Position();
  std::string text(static_cast<std::size_t>(std::max<int64_t>(left, 0)), '\0');
  std::size_t done = 0;
  while (done < text.size()) {
    int n = stream.Read(&text[done], static_cast<int>(std::min<std::size_t>(text.size() - done, 1 << 20)));
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  text.resize(done);
  SetText(AnsiString(std::move(text)));
}

void TStringList::SaveToStream(TStream& stream) const {
  AnsiString text = Text();
  stream.WriteBuffer(text.c_str(), text.Length());
}

void TStringList::LoadFromFile(const AnsiString& path) {
  TFileStream in(path, fmOpenRead | fmShareDenyNone);
  LoadFromStream(in);
}

void TStringList::SaveToFile(const AnsiString& path) const {
  AnsiString text = Text();
  saveWholeFile(path, reinterpret_cast<const uint8_t*>(text.c_str()), static_cast<std::size_t>(text.Length()));
}

// --- TList ----------------------------------------------------------------------

void* TList::Items(int index) const {
  if (index < 0 || index >= Count()) throw ERangeError("列表索引越界 (" + IntToStr(index) + ")");
  return items_[static_cast<std::size_t>(index)];
}

void TList::Delete(int index) {
  if (index < 0 || index >= Count()) throw ERangeError("列表索引越界 (" + IntToStr(index) + ")");
  items_.erase(items_.begin() + index);
}

int TList::IndexOf(void* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}
