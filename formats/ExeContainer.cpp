// Probes, tail search and repair, and the frame reader of EXE recordings.
// The tail search and the version mapping (6 and 7 read as 8) follow what
// stored recordings and their players expect; everything else here only
// refuses what does not fit the file.
#include "ExeContainer.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "ByteReader.h"
#include "SysUtils.h"

namespace {

constexpr int64_t kTailWindow = 51200;
constexpr int64_t kPictureLead = 160;  // header, two reserved fields, caption
constexpr int64_t kSettingsFromEnd = 224;
constexpr int64_t kFrameListLengthFromEnd = 228;

int mapVersion(int32_t v) { return v == 6 || v == 7 ? 8 : v; }

bool readTail(ByteSource& src, std::size_t n, uint8_t* out) {
  int64_t size = src.size();
  return size >= int64_t(n) && src.readAt(size - int64_t(n), out, n);
}

// The trailer of the source: multi-section first (a multi-section EXE's last
// 44 bytes can look like a single-section trailer too).
struct Tail {
  enum Kind { None, Single, Multi } kind = None;
  ExeTrailer single;
  MultiExeTrailer multi;
};

Tail readTrailer(ByteSource& src) {
  Tail t;
  uint8_t m[MultiExeTrailer::kSize], s[ExeTrailer::kSize];
  if (readTail(src, sizeof m, m) && MultiExeTrailer::hasMagic(m)) {
    t.kind = Tail::Multi;
    t.multi = MultiExeTrailer::load(m);
  } else if (readTail(src, sizeof s, s) && ExeTrailer::hasMagic(s)) {
    t.kind = Tail::Single;
    t.single = ExeTrailer::load(s);
  }
  return t;
}

std::unique_ptr<TFileStream> openForReading(const AnsiString& path) {
  try {
    return std::unique_ptr<TFileStream>(new TFileStream(path, fmOpenRead | fmShareDenyNone));
  } catch (const EStreamError&) {
    return nullptr;
  }
}

template <class Probe>
int probeFile(const AnsiString& path, FormatsHost& host, Probe probe) {
  auto f = openForReading(path);
  if (!f) {
    host.showMessage(AnsiString("打开文件失败,") + path);
    return -1;
  }
  StreamSource src(*f);
  return probe(src);
}

bool readI32At(ByteSource& src, int64_t at, int32_t& v) {
  uint8_t b[4];
  if (!src.readAt(at, b, 4)) return false;
  v = getI32(b);
  return true;
}

// Parses a key-frame list: pairs of decimal lines (frame number, offset).
bool parseKeyFrames(const std::string& text, std::vector<std::pair<int32_t, int64_t>>& out) {
  out.clear();
  std::vector<int64_t> values;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t e = text.find_first_of("\r\n", i);
    if (e == std::string::npos) e = text.size();
    std::string line = text.substr(i, e - i);
    i = e;
    if (i < text.size() && text[i] == '\r') ++i;
    if (i < text.size() && text[i] == '\n') ++i;
    std::size_t a = line.find_first_not_of(" \t"), b = line.find_last_not_of(" \t");
    if (a == std::string::npos) return false;
    line = line.substr(a, b - a + 1);
    std::size_t d = line[0] == '-' ? 1 : 0;
    if (d == line.size() || line.size() - d > 10) return false;
    for (std::size_t k = d; k < line.size(); ++k)
      if (line[k] < '0' || line[k] > '9') return false;
    values.push_back(std::stoll(line));
  }
  if (values.size() % 2 != 0) return false;
  for (std::size_t k = 0; k < values.size(); k += 2) {
    if (values[k] < 0 || values[k] > INT32_MAX) return false;
    out.emplace_back(static_cast<int32_t>(values[k]), values[k + 1]);
  }
  return true;
}

}  // namespace

// ---- probes -----------------------------------------------------------------------

int exeRecordingVersion(ByteSource& src) {
  Tail t = readTrailer(src);
  if (t.kind == Tail::Multi) return 100 + mapVersion(t.multi.version);
  if (t.kind == Tail::Single) return mapVersion(t.single.version);
  return -1;
}

int exeProtectionState(ByteSource& src) {
  Tail t = readTrailer(src);
  int32_t edit, play;
  if (t.kind == Tail::Multi) {
    edit = t.multi.editProtectKey;
    play = t.multi.playPasswordKey;
  } else if (t.kind == Tail::Single) {
    edit = t.single.editProtectKey;
    play = t.single.playPasswordKey;
  } else {
    return -1;
  }
  return edit != 0 ? 1 : play != 0 ? 2 : 0;
}

int exePlayerSize(ByteSource& src) {
  Tail t = readTrailer(src);
  if (t.kind == Tail::Multi) return t.multi.playerSize;
  if (t.kind == Tail::Single) return t.single.playerSize;
  return -1;
}

int exeSoundPacking(ByteSource& src) {
  if (readTrailer(src).kind != Tail::Single) return -1;
  uint8_t s[ExePlaySettings::kSize];
  int64_t size = src.size();
  if (size < kSettingsFromEnd || !src.readAt(size - kSettingsFromEnd, s, sizeof s)) return -1;
  return ExePlaySettings::load(s).soundCodec;
}

int exeRecordingVersion(const AnsiString& path, FormatsHost& host) {
  return probeFile(path, host, [](ByteSource& s) { return exeRecordingVersion(s); });
}
int exeProtectionState(const AnsiString& path, FormatsHost& host) {
  return probeFile(path, host, [](ByteSource& s) { return exeProtectionState(s); });
}
int exePlayerSize(const AnsiString& path, FormatsHost& host) {
  return probeFile(path, host, [](ByteSource& s) { return exePlayerSize(s); });
}
int exeSoundPacking(const AnsiString& path, FormatsHost& host) {
  return probeFile(path, host, [](ByteSource& s) { return exeSoundPacking(s); });
}

// ---- damaged tails ------------------------------------------------------------------

ExeTailMatch findExeTail(ByteSource& src) {
  ExeTailMatch m;
  int64_t size = src.size();
  int64_t n = std::min(size, kTailWindow);
  std::vector<uint8_t> w;
  if (n < 14 || !src.readVec(size - n, static_cast<std::size_t>(n), w)) return m;
  for (int64_t p = n - 13; p >= 1; --p) {
    const uint8_t* at = w.data() + p;
    // The single-section magic is compared without its NUL (the players force it).
    bool multi = std::memcmp(at, kMultiExeMagic, 9) == 0 && at[9] == 0;
    bool single = !multi && std::memcmp(at, kExeMagic, 9) == 0;
    if (!multi && !single) continue;
    m.found = true;
    m.multi = multi;
    m.trailerEnd = size - n + p + 12;
    m.zerosAfter = std::all_of(w.begin() + p + 12, w.end(), [](uint8_t b) { return b == 0; });
    return m;
  }
  return m;
}

int scanExeDamage(ByteSource& src) {
  ExeTailMatch m = findExeTail(src);
  return !m.found ? 0 : m.zerosAfter ? 1 : 2;
}

int scanExeDamage(const AnsiString& path) {
  auto f = openForReading(path);
  if (!f) return 0;
  StreamSource src(*f);
  return scanExeDamage(src);
}

int repairExeTail(const AnsiString& path, bool force) {
  int64_t cut = 0;
  {
    auto f = openForReading(path);
    if (!f) return 0;
    StreamSource src(*f);
    ExeTailMatch m = findExeTail(src);
    if (!m.found || (!m.zerosAfter && !force)) return 0;
    // A trailer left inside a cut-off file (the last whole section of a
    // multi-section EXE, a stray copy in the data) does not make the bytes
    // before it a recording: cut only when the result reads through.
    WindowSource prefix(src, 0, m.trailerEnd);
    if (!exeReadsThrough(prefix)) return 0;
    cut = m.trailerEnd;
  }
  try {
    TFileStream f(path, fmOpenReadWrite | fmShareExclusive);
    f.SetSize(cut);
  } catch (const EStreamError&) {
    return 0;
  }
  return FileSizeOf(path) == cut ? 1 : 0;
}

bool cursorImageChanged(const std::vector<uint8_t>& current, const std::vector<uint8_t>& last) {
  return current != last;
}

// ---- multi-section EXE ------------------------------------------------------------------

bool readMultiExeTail(ByteSource& src, MultiExeTrailer& trailer,
                      std::vector<SectionRecord>& sections) {
  sections.clear();
  Tail t = readTrailer(src);
  if (t.kind != Tail::Multi) return false;
  trailer = t.multi;
  int64_t size = src.size();
  int32_t n = trailer.sectionCount;
  if (n < 1 || n > kMaxSections || trailer.playerSize < 0) return false;
  int64_t table = size - int64_t(MultiExeTrailer::kSize) - int64_t(n) * int64_t(SectionRecord::kSize);
  if (table < int64_t(trailer.playerSize)) return false;
  std::vector<uint8_t> bytes;
  if (!src.readVec(table, static_cast<std::size_t>(n) * SectionRecord::kSize, bytes)) return false;
  int64_t prevEnd = trailer.playerSize;
  for (int32_t i = 0; i < n; ++i) {
    SectionRecord r = SectionRecord::load(bytes.data() + std::size_t(i) * SectionRecord::kSize);
    // A section holds at least its dataStartWord and its trailer.
    if (r.sectionStart < prevEnd || int64_t(r.sectionEnd) - r.sectionStart < 48 || r.sectionEnd > table)
      return false;
    prevEnd = r.sectionEnd;
    sections.push_back(r);
  }
  return true;
}

bool writeMultiExeTail(ByteSink& out, const std::vector<SectionRecord>& sections,
                       const MultiExeTrailer& trailer) {
  std::vector<uint8_t> b(sections.size() * SectionRecord::kSize + MultiExeTrailer::kSize);
  for (std::size_t i = 0; i < sections.size(); ++i) sections[i].store(b.data() + i * SectionRecord::kSize);
  MultiExeTrailer t = trailer;
  t.sectionCount = static_cast<int32_t>(sections.size());
  t.store(b.data() + sections.size() * SectionRecord::kSize);
  return out.write(b.data(), b.size());
}

bool writeExeTail(ByteSink& out, const std::string& mouseList, const std::string& frameList,
                  const ExePlaySettings& settings, const ExeTrailer& trailer) {
  uint8_t len[4];
  if (settings.hasMouseList == 1) {
    putI32(len, static_cast<int32_t>(mouseList.size()));
    if (!out.write(mouseList.data(), mouseList.size()) || !out.write(len, 4)) return false;
  }
  putI32(len, static_cast<int32_t>(frameList.size()));
  uint8_t tail[ExePlaySettings::kSize + ExeTrailer::kSize];
  settings.store(tail);
  trailer.store(tail + ExePlaySettings::kSize);
  return out.write(frameList.data(), frameList.size()) && out.write(len, 4) &&
         out.write(tail, sizeof tail);
}

bool writeExePictureLead(ByteSink& out, const LxHeader& header, const CustomCaption& caption) {
  uint8_t lead[kPictureLead] = {};
  writeLxHeader(header, lead);
  caption.store(lead + 80);
  return out.write(lead, sizeof lead);
}

bool readExwTail(ByteSource& src, ExwTail& tail) {
  uint8_t b[ExwTail::kSize];
  if (!readTail(src, sizeof b, b) || !ExeTrailer::hasMagic(b)) return false;
  tail = ExwTail::load(b);
  return true;
}

// ---- reading a recording ------------------------------------------------------------------

bool ExeRecording::open(ByteSource& src) { return openRange(src, -1, src.size(), 0); }

bool ExeRecording::openSection(ByteSource& src, const SectionRecord& s) {
  if (s.sectionStart < 0 || s.sectionEnd <= s.sectionStart || s.sectionEnd > src.size()) return false;
  uint8_t t[ExeTrailer::kSize];
  if (!src.readAt(int64_t(s.sectionEnd) - int64_t(ExeTrailer::kSize), t, sizeof t) || !ExeTrailer::hasMagic(t))
    return false;
  int64_t stub = ExeTrailer::load(t).playerSize;
  return openRange(src, s.sectionStart, s.sectionEnd, int64_t(s.sectionStart) - stub);
}

bool ExeRecording::openRange(ByteSource& src, int64_t begin, int64_t end, int64_t delta) {
  src_ = nullptr;
  keyFrames.clear();
  mouseList.clear();
  frameList.clear();
  uint8_t tail[kSettingsFromEnd + 4];
  if (end - std::max<int64_t>(begin, 0) < int64_t(sizeof tail) || !src.readAt(end - int64_t(sizeof tail), tail, sizeof tail))
    return false;
  if (!ExeTrailer::hasMagic(tail + 4 + ExePlaySettings::kSize)) return false;
  trailer = ExeTrailer::load(tail + 4 + ExePlaySettings::kSize);
  settings = ExePlaySettings::load(tail + 4);
  int32_t f = getI32(tail);

  // dataStartWord stands at the stub's end; a section begins with it.
  int64_t word = int64_t(trailer.playerSize) + delta;
  if ((begin >= 0 && word != begin) || word < 0 || !readI32At(src, word, dataStartWord)) return false;
  int64_t listsEnd = end - kFrameListLengthFromEnd;  // the key-frame list ends here
  if (f < 0 || f > listsEnd - (word + 4)) return false;
  int64_t frameListAt = listsEnd - f;
  int64_t mouseEnd = frameListAt;  // the frames (or a trailing sound track) end here
  if (settings.hasMouseList == 1) {
    int32_t m;
    if (frameListAt - 4 < word + 4 || !readI32At(src, frameListAt - 4, m)) return false;
    if (m < 0 || m > frameListAt - 4 - (word + 4)) return false;
    mouseEnd = frameListAt - 4 - m;
    std::vector<uint8_t> b;
    if (!src.readVec(mouseEnd, static_cast<std::size_t>(m), b)) return false;
    mouseList.assign(b.begin(), b.end());
  }
  std::vector<uint8_t> b;
  if (!src.readVec(frameListAt, static_cast<std::size_t>(f), b)) return false;
  frameList.assign(b.begin(), b.end());

  int64_t k = dataStartWord;
  if (k > 0) {
    pictureStart = k + delta;
    soundStart = word + 4;
    soundEnd = pictureStart;
    framesEnd = mouseEnd;
    if (pictureStart < soundStart + 4) return false;  // the block holds at least its count
  } else if (k < 0) {
    pictureStart = word + 4;
    soundStart = -k + delta;
    soundEnd = mouseEnd;
    framesEnd = soundStart;
    if (soundStart > soundEnd - 4) return false;
  } else {
    pictureStart = word + 4;
    soundStart = soundEnd = -1;
    framesEnd = mouseEnd;
  }
  if (pictureStart < word + 4 || framesEnd - pictureStart < kPictureLead) return false;

  uint8_t lead[kPictureLead];
  if (!src.readAt(pictureStart, lead, sizeof lead)) return false;
  readLxHeader(lead, header);
  caption = CustomCaption::load(lead + 80);
  if (header.width < 1 || header.height < 1 || header.width > kMaxPictureSide ||
      header.height > kMaxPictureSide || header.frameCount < 0)
    return false;

  if (!parseKeyFrames(frameList, keyFrames)) return false;
  for (const auto& kf : keyFrames)
    if (kf.second < kPictureLead || kf.second >= framesEnd - pictureStart) return false;

  src_ = &src;
  pos_ = pictureStart + kPictureLead;
  next_ = 0;
  return true;
}

bool ExeRecording::seekKeyFrame(std::size_t i) {
  if (!src_ || i >= keyFrames.size()) return false;
  pos_ = pictureStart + keyFrames[i].second;
  next_ = keyFrames[i].first;
  return true;
}

bool ExeRecording::readFrame(ExeFrame& frame, bool withImages) {
  if (!src_ || next_ >= header.frameCount) return false;
  ByteSource& src = *src_;
  int64_t pos = pos_;
  auto i32 = [&](int32_t& v) {
    if (framesEnd - pos < 4 || !readI32At(src, pos, v)) return false;
    pos += 4;
    return true;
  };
  // The image's int32 length and its bytes, all inside the frame area.
  auto image = [&](std::vector<uint8_t>* out) {
    int32_t n;
    if (!i32(n) || n < 0 || n > framesEnd - pos) return false;
    if (out && !src.readVec(pos, static_cast<std::size_t>(n), *out)) return false;
    pos += n;
    return true;
  };

  frame = ExeFrame();
  frame.number = next_;
  if (header.hasCursor == 1) {
    int32_t iconLength;
    if (!i32(frame.cursorX) || !i32(frame.cursorY) || !i32(iconLength)) return false;
    frame.hasCursorBlock = true;
    if (iconLength > 0) {  // 0 or less: the previous icon stays
      if (std::size_t(iconLength) > kMaxCursorIcon || iconLength > framesEnd - pos ||
          !src.readVec(pos, static_cast<std::size_t>(iconLength), frame.icon))
        return false;
      pos += iconLength;
    }
  }
  if (next_ == 0) {
    ExeFrameUpdate u;
    u.rect = u.stored = ExeFrameRect{0, 0, header.width, header.height};
    int32_t end;
    if (!image(withImages ? &u.image : nullptr) || !i32(end) || end > 0) return false;
    frame.updates.push_back(std::move(u));
  } else {
    for (;;) {
      int32_t v;
      if (!i32(v)) return false;
      if (v <= 0) break;  // -n ends the frame
      uint8_t r[ExeFrameRect::kSize];
      if (framesEnd - pos < int64_t(sizeof r) || !src.readAt(pos, r, sizeof r)) return false;
      pos += int64_t(sizeof r);
      ExeFrameUpdate u;
      u.stored = u.rect = ExeFrameRect::load(r);
      bool inside = u.rect.clipTo(header.width, header.height);
      if (!image(withImages && inside ? &u.image : nullptr)) return false;
      if (inside) frame.updates.push_back(std::move(u));
    }
  }
  pos_ = pos;
  ++next_;
  return true;
}

bool exeReadsThrough(ByteSource& src) {
  // The last frame must end exactly where the frames' area ends: a tail
  // borrowed from another recording (a section's trailer inside a cut-off
  // multi-section file) does not line up with the frames before it.
  auto readsThrough = [](ExeRecording& r) {
    ExeFrame f;
    while (r.nextFrameNumber() < r.header.frameCount)
      if (!r.readFrame(f, false)) return false;
    return r.framePosition() == r.framesEnd;
  };
  Tail t = readTrailer(src);
  if (t.kind == Tail::Single) {
    ExeRecording r;
    return r.open(src) && readsThrough(r);
  }
  if (t.kind == Tail::Multi) {
    MultiExeTrailer mt;
    std::vector<SectionRecord> sections;
    if (!readMultiExeTail(src, mt, sections)) return false;
    for (const auto& s : sections) {
      ExeRecording r;
      if (!r.openSection(src, s) || !readsThrough(r)) return false;
    }
    return true;
  }
  return false;
}
