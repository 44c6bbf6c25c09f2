// vidtool exe-probe / exe-dump / exe-frame: what the tools' probes say of a
// self-playing EXE (version, protection, player size, sound packing, tail
// damage), a JSON summary of its recording or recordings (trailer, playback
// settings, header, caption, lists, and per frame its cursor block and
// changed rectangles), and the picture of any frame as a BMP file.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Command.h"
#include "ExeContainer.h"
#include "ExeFrames.h"

namespace {

int probe(const std::vector<std::string>& args) {
  if (args.size() != 1) return 2;
  StderrHost host;
  const AnsiString path(args[0]);
  const int version = exeRecordingVersion(path, host);
  std::printf("{\"version\": %d, \"protection\": %d, \"playerSize\": %d, \"soundPacking\": %d, "
              "\"tailDamage\": %d}\n",
              version, exeProtectionState(path, host), exePlayerSize(path, host),
              exeSoundPacking(path, host), scanExeDamage(path));
  return version > 0 ? 0 : 1;
}

void dumpRecording(ExeRecording& r) {
  const ExePlaySettings& s = r.settings;
  std::printf("{\n    \"trailer\": {\"editProtectKey\": %d, \"playPasswordKey\": %d, \"formatTag\": %d, "
              "\"version\": %d, \"playerSize\": %d},\n",
              r.trailer.editProtectKey, r.trailer.playPasswordKey, r.trailer.formatTag,
              r.trailer.version, r.trailer.playerSize);
  std::printf("    \"settings\": {\"title\": %s, \"imageCodec\": %d, \"soundCodec\": %d, "
              "\"loopPlay\": %d, \"exitAtEnd\": %d, \"fullScreen\": %d, \"hasMouseList\": %d, "
              "\"clickReminder\": %d, \"lowQuality\": %d},\n",
              jsonString(AnsiString(s.title)).c_str(), s.imageCodec, s.soundCodec, s.loopPlay,
              s.exitAtEnd, s.fullScreen, s.hasMouseList, s.clickReminder, s.lowQuality);
  const LxHeader& h = r.header;
  std::printf("    \"header\": {\"captureTarget\": %d, \"width\": %d, \"height\": %d, "
              "\"frameCount\": %d, \"pixelFormat\": %d, \"msPerFrame\": %d, \"soundSource\": %d, "
              "\"hasCursor\": %d},\n",
              h.captureTarget, h.width, h.height, h.frameCount, h.pixelFormat, h.msPerFrame,
              h.soundSource, h.hasCursor);
  std::printf("    \"caption\": {\"text\": %s, \"x\": %d, \"y\": %d},\n",
              jsonString(AnsiString(r.caption.text)).c_str(), r.caption.x, r.caption.y);
  std::printf("    \"sound\": {\"start\": %lld, \"end\": %lld},\n", (long long)r.soundStart,
              (long long)r.soundEnd);
  std::printf("    \"keyFrames\": [");
  for (std::size_t i = 0; i < r.keyFrames.size(); ++i)
    std::printf("%s[%d, %lld]", i ? ", " : "", r.keyFrames[i].first,
                (long long)r.keyFrames[i].second);
  std::printf("],\n    \"mouseListBytes\": %zu,\n    \"frames\": [", r.mouseList.size());
  ExeFrame f;
  bool first = true;
  while (r.readFrame(f, false)) {
    std::printf("%s\n      {\"n\": %d, \"cursor\": %s", first ? "" : ",", f.number,
                f.hasCursorBlock ? "true" : "false");
    if (f.hasCursorBlock)
      std::printf(", \"x\": %d, \"y\": %d, \"iconLength\": %zu", f.cursorX, f.cursorY, f.icon.size());
    std::printf(", \"rects\": [");
    for (std::size_t i = 0; i < f.updates.size(); ++i) {
      const ExeFrameRect& q = f.updates[i].rect;
      std::printf("%s[%d, %d, %d, %d]", i ? ", " : "", q.left, q.top, q.right, q.bottom);
    }
    std::printf("]}");
    first = false;
  }
  std::printf("\n    ],\n    \"readThrough\": %s\n  }", r.nextFrameNumber() >= h.frameCount ? "true" : "false");
}

int dump(const std::vector<std::string>& args) {
  if (args.size() != 1) return 2;
  std::vector<unsigned char> bytes;
  if (!readWholeFile(args[0], bytes)) return 1;
  SpanSource src(bytes.data(), bytes.size());
  MultiExeTrailer multi;
  std::vector<SectionRecord> sections;
  std::printf("{\n  \"size\": %zu,\n", bytes.size());
  if (readMultiExeTail(src, multi, sections)) {
    std::printf("  \"sections\": [");
    for (std::size_t i = 0; i < sections.size(); ++i) {
      std::printf("%s\n  {\"title\": %s, \"start\": %d, \"end\": %d, \"recording\": ", i ? "," : "",
                  jsonString(AnsiString(sections[i].title)).c_str(), sections[i].sectionStart,
                  sections[i].sectionEnd);
      ExeRecording r;
      if (r.openSection(src, sections[i])) dumpRecording(r);
      else std::printf("null");
      std::printf("}");
    }
    std::printf("\n  ]\n}\n");
    return 0;
  }
  ExeRecording r;
  if (!r.open(src)) {
    std::printf("  \"recording\": null\n}\n");
    std::fprintf(stderr, "%s: not a readable EXE recording\n", args[0].c_str());
    return 1;
  }
  std::printf("  \"recording\": ");
  dumpRecording(r);
  std::printf("\n}\n");
  return 0;
}

int frame(const std::vector<std::string>& args) {
  if (args.size() != 3) return 2;
  std::vector<unsigned char> bytes;
  if (!readWholeFile(args[0], bytes)) return 1;
  SpanSource src(bytes.data(), bytes.size());
  ExeRecording r;
  if (!r.open(src)) {
    std::fprintf(stderr, "%s: not a readable single-section EXE recording\n", args[0].c_str());
    return 1;
  }
  StderrHost host;
  TBitmap picture;
  const int n = std::atoi(args[1].c_str());
  if (composeExeFrame(r, n, picture, host) != 1) {
    std::fprintf(stderr, "%s: frame %d cannot be read\n", args[0].c_str(), n);
    return 1;
  }
  picture.SaveToFile(AnsiString(args[2]));
  return 0;
}

const ToolCommand kProbe("exe-probe", "FILE.exe", probe);
const ToolCommand kFrame("exe-frame", "FILE.exe N OUT.bmp", frame);
const ToolCommand kDump("exe-dump", "FILE.exe", dump);

}  // namespace
