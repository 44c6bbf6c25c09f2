// vidtool lx-probe / lx-dump / lx-frame: the version of an .lx recording, a
// JSON summary of it (header, index, cursor blocks, mouse events), and any
// frame as a BMP file.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

#include "Command.h"
#include "LxFile.h"
#include "SysUtils.h"

namespace {

int probe(const std::vector<std::string>& args) {
  if (args.size() != 1) return 2;
  StderrHost host;
  const int version = lxRecordingVersion(AnsiString(args[0]), host);
  std::printf("%d\n", version);
  return version > 5 ? 0 : 1;
}

int dump(const std::vector<std::string>& args) {
  if (args.size() != 1) return 2;
  StderrHost host;
  const int version = lxRecordingVersion(AnsiString(args[0]), host);
  TFileStream in(AnsiString(args[0]), fmOpenRead | fmShareDenyNone);
  if (in.Size() < kLxHeaderSize) {
    std::fprintf(stderr, "%s: shorter than a header\n", args[0].c_str());
    return 1;
  }
  uint8_t raw[kLxHeaderSize];
  in.ReadBuffer(raw, kLxHeaderSize);
  LxHeader h;
  readLxHeader(raw, h);
  std::printf("{\n  \"version\": %d,\n  \"size\": %lld,\n", version, (long long)in.Size());
  std::printf("  \"header\": {\"captureTarget\": %d, \"width\": %d, \"height\": %d, "
              "\"frameCount\": %d, \"pixelFormat\": %d, \"msPerFrame\": %d, \"reserved24\": %d, "
              "\"reserved28\": %d, \"soundSource\": %d, \"hasCursor\": %d},\n",
              h.captureTarget, h.width, h.height, h.frameCount, h.pixelFormat, h.msPerFrame,
              h.reserved24, h.reserved28, h.soundSource, h.hasCursor);
  TStringList index, mouse;
  const bool haveIndex = readLxFrameIndex(in, index) == 1;
  const bool haveMouse = readLxMouseList(in, mouse) == 1;
  std::printf("  \"frames\": %d,\n  \"index\": [", haveIndex ? index.Count() : -1);
  for (int i = 0; haveIndex && i < index.Count(); ++i)
    std::printf("%s%s", i ? ", " : "", jsonString(index[i]).c_str());
  std::printf("],\n  \"records\": [");
  // One entry per distinct record, in index order.
  std::map<int64_t, bool> seen;
  bool first = true;
  for (int i = 0; haveIndex && i < index.Count(); ++i) {
    LxFrameRecord r;
    if (readLxFrameRecord(in, index, i, r) != 1) {
      std::printf("%s\n    {\"line\": %d, \"damaged\": true}", first ? "" : ",", i);
      first = false;
      continue;
    }
    if (seen[r.offset]) continue;
    seen[r.offset] = true;
    std::printf("%s\n    {\"line\": %d, \"offset\": %lld, \"cursor\": %s", first ? "" : ",", i,
                (long long)r.offset, r.hasCursor ? "true" : "false");
    if (r.hasCursor)
      std::printf(", \"x\": %d, \"y\": %d, \"iconLength\": %d", r.cursorX, r.cursorY, r.iconLength);
    std::printf(", \"imageLength\": %d}", r.imageLength);
    first = false;
  }
  std::printf("\n  ],\n  \"mouse\": [");
  for (int i = 0; haveMouse && i + 8 <= mouse.Count(); i += 8) {
    std::printf("%s\n    {\"frame\": %s, \"x\": %s, \"y\": %s, \"kind\": %s, \"hotX\": %s, \"hotY\": %s}",
                i ? "," : "", jsonValue(mouse[i]).c_str(), jsonValue(mouse[i + 1]).c_str(),
                jsonValue(mouse[i + 2]).c_str(), jsonValue(mouse[i + 3]).c_str(),
                jsonValue(mouse[i + 4]).c_str(), jsonValue(mouse[i + 5]).c_str());
  }
  std::printf("\n  ]\n}\n");
  return haveIndex ? 0 : 1;
}

int frame(const std::vector<std::string>& argv) {
  std::vector<std::string> args = argv;
  const bool noCursor = takeFlag(args, "--no-cursor");
  if (args.size() != 3) return 2;
  TFileStream in(AnsiString(args[0]), fmOpenRead | fmShareDenyNone);
  TStringList index;
  if (readLxFrameIndex(in, index) != 1) {
    std::fprintf(stderr, "%s: no frame index\n", args[0].c_str());
    return 1;
  }
  StderrHost host;
  TBitmap picture;
  const int n = std::atoi(args[1].c_str());
  const int rc = noCursor ? readLxFrameImage(in, index, n, picture, host)
                          : drawLxFrame(in, index, n, picture, host);
  if (rc != 1) {
    std::fprintf(stderr, "%s: frame %d cannot be read\n", args[0].c_str(), n);
    return 1;
  }
  picture.SaveToFile(AnsiString(args[2]));
  return 0;
}

const ToolCommand kProbe("lx-probe", "FILE.lx", probe);
const ToolCommand kDump("lx-dump", "FILE.lx", dump);
const ToolCommand kFrame("lx-frame", "FILE.lx N OUT.bmp [--no-cursor]", frame);

}  // namespace
