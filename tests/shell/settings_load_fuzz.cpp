// Feeds arbitrary bytes to the set.dat and setc.dat readers: every typed read
// of every line must come back without a fault, saving and loading again
// must give the same bytes, and a writer that replaces the lines the program
// owns must leave every other line as it was read.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "SettingsFile.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

bool ownedByAWriter(int line) {
  return (line >= 0 && line <= 28) || (line >= 30 && line <= 43) || (line >= 50 && line <= 73) ||
         (line >= 94 && line <= 129);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SettingsFile s;
  s.loadFromBytes(data, size);
  check(s.lineCount() >= SettingsFile::kLines);

  for (int line = 0; line < SettingsFile::kLines; ++line) {
    switch (settingsLineInfo(line)->kind) {
    case SettingsKind::integer:
    case SettingsKind::choice: s.integer(line); break;
    case SettingsKind::flag:
    case SettingsKind::textFlag: s.flag(line); break;
    case SettingsKind::keyName: check(s.keyCode(line) >= 112 && s.keyCode(line) <= 123); break;
    case SettingsKind::text: s.text(line); break;
    case SettingsKind::timeOfDay: s.timeOfDay(line); break;
    case SettingsKind::unsigned32: s.unsigned32(line); break;
    case SettingsKind::unused: break;
    }
  }
  CustomInfoPlacement p = s.customInfoPlacement();
  check(p.marginX >= 0 && p.marginX <= 255 && p.marginY >= 0 && p.marginY <= 255);
  int32_t x = s.integer(SettingsLine::customInfoX);
  if (x >= 0x10000) check(packCustomInfoX(p) == x);
  check(s.exePlaySettings().title.size() <= kExeTitleMaxBytes);
  int bits = s.soundBits(), rate = s.soundRate();
  check(bits == 8 || bits == 16);
  check(rate == 8000 || rate == 11025 || rate == 22050 || rate == 44100);

  const std::string bytes = s.toBytes();
  SettingsFile again;
  again.loadFromBytes(bytes.data(), bytes.size());
  check(again.toBytes() == bytes);

  SettingsFile written = again;
  written.setExePlaySettings(again.exePlaySettings());
  written.setHotKeys(again.hotKeys());
  written.setCustomInfoPlacement(p);
  written.setAviCompressValues(again.aviCompressValues());
  written.setText(SettingsLine::customInfoText, again.text(SettingsLine::customInfoText));
  check(written.lineCount() == again.lineCount());
  for (int line = 0; line < again.lineCount(); ++line)
    if (!ownedByAWriter(line)) check(written.raw(line) == again.raw(line));

  KeptCodecValues k;
  k.loadFromBytes(data, size);
  k.value(0);
  k.value(1);
  return 0;
}
