// The memory of the once-only tips: every tip the user ticked "知道了，以后不要
// 再提示" for, kept in "tishin.dat" in the program folder as the tips' texts
// (code page 936 bytes) one after the other, with no separator and no end
// mark. A tip counts as dismissed when its text occurs anywhere in those
// bytes. Read once when the tip window is created; a dismissal is appended
// in memory (effective at once) and the whole file saved again. Portable.
#pragma once

#include "Classes.h"
#include "System.h"

// A tishin.dat larger than this is no file of ours: it is read as no tip
// dismissed (all the program's tips together are a few kilobytes).
inline constexpr int64_t kDismissedTipsMaxBytes = 1 << 20;

class DismissedTips {
public:
  // Replaces the memory with the file's bytes. A missing, unreadable or
  // oversized file leaves nothing dismissed; a file that shrinks while it is
  // read keeps what was read.
  void loadFromFile(const AnsiString& path);
  // False when the tip's text occurs in the dismissed bytes (a plain byte
  // search); true otherwise, and always while nothing is dismissed.
  bool shouldShow(const AnsiString& tip) const;
  // Appends the tip's bytes (no terminator) and saves the whole memory as
  // path, replacing the file only once it is completely written. False when
  // the file could not be written; the tip stays dismissed for this run.
  bool dismiss(const AnsiString& tip, const AnsiString& path);
  const TMemoryStream& bytes() const { return bytes_; }

private:
  TMemoryStream bytes_;
};

// The tips the main form shows on its own.
namespace TipText {
// The first show on Vista or later.
extern const char* const kVistaColourScheme;
// The hot-key page while no modifier is chosen.
extern const char* const kUseCombinationKeys;
// The first show when the record-video overlay could not be set up.
extern const char* const kVideoMayBeOpen;
}  // namespace TipText
