// Streams and lists: TStream, TMemoryStream, TFileStream, TStringList, TList.
// Portable declarations; TFileStream has one implementation per platform.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "System.h"

enum TSeekOrigin { soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2 };

class TStream {
public:
  virtual ~TStream() = default;
  // Return the number of bytes moved (short at the end; never throws for that).
  virtual int Read(void* buffer, int count) = 0;
  virtual int Write(const void* buffer, int count) = 0;
  // Returns the new position. A position before the start raises EStreamError
  // (a position past the end is allowed; writing there fills the gap).
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size();
  virtual void SetSize(int64_t size) = 0;
  int64_t Position() { return Seek(0, soFromCurrent); }
  void SetPosition(int64_t pos) { Seek(pos, soFromBeginning); }
  // Raise EReadError / EWriteError when fewer than count bytes move.
  void ReadBuffer(void* buffer, int count);
  void WriteBuffer(const void* buffer, int count);
  // Copies count bytes from source's position (count 0: the whole source from
  // its start); returns the bytes copied; raises EReadError on a short source.
  int64_t CopyFrom(TStream& source, int64_t count);
};

class TMemoryStream : public TStream {
public:
  int Read(void* buffer, int count) override;
  int Write(const void* buffer, int count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  void SetSize(int64_t size) override;
  void Clear() { data_.clear(); pos_ = 0; }
  uint8_t* Memory() { return data_.data(); }
  const std::vector<uint8_t>& Bytes() const { return data_; }
  void LoadFromStream(TStream& source);
  void SaveToStream(TStream& dest);
  void LoadFromFile(const AnsiString& path);
  // Every SaveToFile of the framework writes "<path>.~tmp" and moves it over
  // the file only when complete: a failed save leaves the old file.
  void SaveToFile(const AnsiString& path);

private:
  std::vector<uint8_t> data_;
  int64_t pos_ = 0;
};

// Open modes, as the framework combines them: one of the fm* access values OR
// one of the fmShare* values, or fmCreate alone.
enum : uint16_t {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareCompat = 0x0000,
  fmShareExclusive = 0x0010,
  fmShareDenyWrite = 0x0020,
  fmShareDenyRead = 0x0030,
  fmShareDenyNone = 0x0040,
  fmCreate = 0xFFFF,
};

// A file opened by name (CP936). Raises EFOpenError when it cannot be opened.
// On Windows a reader (fmOpenRead without share bits) shares read, write and
// delete, so a recording still being written can be read; writers, fmCreate
// included, let others read. Explicit fmShare* bits are honoured.
class TFileStream : public TStream {
public:
  TFileStream(const AnsiString& path, uint16_t mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
  int Read(void* buffer, int count) override;
  int Write(const void* buffer, int count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  const AnsiString& FileName() const { return path_; }

private:
  AnsiString path_;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Lines of text. Text joins with CR LF; SetText splits on CR LF, LF or CR.
class TStringList {
public:
  int Count() const { return static_cast<int>(lines_.size()); }
  int Add(const AnsiString& line);
  void Insert(int index, const AnsiString& line);  // raises EStringListError
  void Delete(int index);                          // raises EStringListError
  void Clear() { lines_.clear(); }
  int IndexOf(const AnsiString& line) const;       // -1 when absent
  const AnsiString& Strings(int index) const;      // raises EStringListError
  void SetString(int index, const AnsiString& line);
  const AnsiString& operator[](int index) const { return Strings(index); }
  AnsiString Text() const;
  void SetText(const AnsiString& text);
  void LoadFromStream(TStream& stream);   // the rest of the stream from its position
  void SaveToStream(TStream& stream) const;
  void LoadFromFile(const AnsiString& path);
  void SaveToFile(const AnsiString& path) const;

private:
  std::vector<AnsiString> lines_;
};

// An owning-free list of pointers, as the framework's TList.
class TList {
public:
  int Count() const { return static_cast<int>(items_.size()); }
  int Add(void* item) { items_.push_back(item); return Count() - 1; }
  void* Items(int index) const;  // raises EListError-like ERangeError
  void Delete(int index);
  void Clear() { items_.clear(); }
  int IndexOf(void* item) const;

private:
  std::vector<void*> items_;
};
