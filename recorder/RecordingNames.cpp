// Output, unfinished and sound side file names; the next free number.
#include "RecordingNames.h"

#include "SysUtils.h"

AnsiString outputFileName(const AnsiString& folder, const AnsiString& name, OutputChoice choice,
                          OutputStage stage) {
  const char* ext = "";
  switch (stage) {
    case OutputStage::Exw: ext = ".exw"; break;
    case OutputStage::Avw: ext = ".avw"; break;
    case OutputStage::Wmw: ext = ".wmw"; break;
    case OutputStage::Final:
      switch (choice) {
        case OutputChoice::Lx: ext = ".lx"; break;
        case OutputChoice::DirectAvi: ext = ".avi"; break;
        case OutputChoice::DirectExe: ext = ".exe"; break;
        case OutputChoice::DirectWmv: ext = ".wmv"; break;
        case OutputChoice::DirectNone: return AnsiString();
      }
      break;
  }
  return folder + name + ext;
}

AnsiString liveSoundFileName(const AnsiString& outputPath) {
  // The extension is cut by what it is, not by four characters: ".lx" has
  // only three, and cutting four would eat the recording's number.
  const AnsiString ext = ExtractFileExt(outputPath);
  return outputPath.SubString(1, outputPath.Length() - ext.Length()) + "1.wav";
}

AnsiString recordingBaseName(int number) { return "录像" + IntToStr(number); }

int nextFreeFileNumber(const AnsiString& folder) {
  static const char* const kExts[] = {".lx", ".avi", ".exe", ".exw", ".avw", ".wmv", ".wmw"};
  for (int n = 1;; ++n) {
    const AnsiString base = folder + recordingBaseName(n);
    bool taken = false;
    for (const char* ext : kExts) taken = taken || FileExists(base + ext);
    if (!taken) return n;
  }
}
