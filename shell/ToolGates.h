// The gates of the conversion and editing tools: each menu command checks
// that the selected recording suits its tool and either names the message
// that refuses it or the form to open with the path the form is given.
// The EXE probes are asked lazily, in the order the checks need them, so a
// file that cannot be opened is reported once. Portable.
#pragma once

#include "System.h"

enum class ToolGate {
  AviDub,           // AVI1, AVI2
  AviConvert,       // AVI3, AVI5
  AviMerge,         // AVI4, AVI6
  AviCut,           // AVIB1, AVI7
  ExeToAvi,         // EXEAVI1, EXEAVI2
  ExeToLx,          // EXELX1
  ExeCut,           // EXE7, EXE10
  ExeMerge,         // EXE8, EXE11
  MultiExeMerge,    // EXE3, EXE12
  MultiExeExtract,  // EXE4, EXE13
  LxCut,            // LX1
  LxMerge,          // LX2
  WmvCut,           // WMVW1, WMV3
  WmvMerge,         // WMV1, WMV2
  About,            // A1
};

enum class ToolForm {
  None,
  AVIForm,
  AviChangeForm,
  AvihcForm,
  AVIjqForm,
  EXE2AVIForm,
  EXE2LXForm,
  EXEjqForm,
  EXEhcForm,
  DJExeForm,
  DJExeTqForm,
  LXjqForm,
  LXhcForm,
  WMVjqForm,
  WMVhcForm,
  AboutForm,
};

// The EXE probes of the selected file (formats/ExeContainer), asked only
// when a check needs them.
class ExeProbes {
public:
  virtual ~ExeProbes() = default;
  virtual int version() = 0;       // -1 not a recording; 100 + version when multi-section
  virtual int protection() = 0;    // 0 none, 1 edit lock, 2 playback password
  virtual int soundPacking() = 0;  // 5 MP3 and 6 TrueSpeech are lossy
};

struct GateOutcome {
  AnsiString message;            // shown instead of a form when not empty
  ToolForm form = ToolForm::None;
  AnsiString file;               // the path the form is given (Edit1 or its file member)
  AnsiString tempAvi, programFolder;  // AVI dubbing only
};

GateOutcome runToolGate(ToolGate gate, const AnsiString& currentFile, bool wmvAvailable, const AnsiString& appDir,
                        ExeProbes& probes);

