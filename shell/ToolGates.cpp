// The gates of the conversion and editing tools; see the header.
#include "ToolGates.h"

#include "SysUtils.h"

namespace {

const char* const kNotLatestExe = "此EXE不是最新版的录像文件，不能使用此功能";
const char* const kMultiSectionExe = "此EXE是合成多节EXE，不能使用此功能";
const char* const kProtectedExe = "此EXE已经加密过，无法进行编辑";
const char* const kLossySoundExe = "声音是有损压缩的EXE不支持此操作";
const char* const kChooseMultiExe = "请在录像列表框中选择一个多节EXE文件";
const char* const kNotMultiExe = "此EXE不是多节EXE，不能使用此功能";
const char* const kNoWmvSupport = "此电脑上还没有安装wmv支持文件,本软件的wmv格式功能无法使用";

bool hasExt(const AnsiString& path, const char* ext) { return ExtractFileExt(path).LowerCase() == ext; }

// The single-section EXE check: the first failing step's message, or empty.
AnsiString exeCheck(ExeProbes& probes) {
  const int version = probes.version();
  if (version < 8) return kNotLatestExe;
  if (version > 100) return kMultiSectionExe;
  if (probes.protection() != 0) return kProtectedExe;
  const int packing = probes.soundPacking();
  if (packing == 5 || packing == 6) return kLossySoundExe;
  return AnsiString();
}

GateOutcome open(ToolForm form, const AnsiString& file = AnsiString()) {
  GateOutcome g;
  g.form = form;
  g.file = file;
  return g;
}

GateOutcome refuse(const AnsiString& message) {
  GateOutcome g;
  g.message = message;
  return g;
}

// A tool that takes the selection when it is of its kind, else nothing.
GateOutcome openWithKind(ToolForm form, const AnsiString& currentFile, const char* ext) {
  return open(form, hasExt(currentFile, ext) ? currentFile : AnsiString());
}

// An EXE tool: a selected .exe must pass the EXE check; anything else opens
// the tool empty, so that the user picks a file inside it.
GateOutcome openExeTool(ToolForm form, const AnsiString& currentFile, ExeProbes& probes) {
  if (!hasExt(currentFile, ".exe")) return open(form);
  const AnsiString refusal = exeCheck(probes);
  return refusal.IsEmpty() ? open(form, currentFile) : refuse(refusal);
}

GateOutcome openMultiExeExtraction(const AnsiString& currentFile, ExeProbes& probes) {
  if (!hasExt(currentFile, ".exe")) return refuse(kChooseMultiExe);
  const int version = probes.version();
  if (version < 100) return refuse(kNotMultiExe);
  if (version < 108) return refuse(kNotLatestExe);
  if (probes.protection() != 0) return refuse(kProtectedExe);
  return open(ToolForm::DJExeTqForm, currentFile);
}

}  // namespace

GateOutcome runToolGate(ToolGate gate, const AnsiString& currentFile, bool wmvAvailable, const AnsiString& appDir,
                        ExeProbes& probes) {
  switch (gate) {
    case ToolGate::AviDub: {
      GateOutcome g = open(ToolForm::AVIForm, currentFile);
      g.tempAvi = appDir + "ls.avi";
      g.programFolder = appDir;
      return g;
    }
    case ToolGate::AviConvert: return openWithKind(ToolForm::AviChangeForm, currentFile, ".avi");
    case ToolGate::AviMerge: return open(ToolForm::AvihcForm);
    case ToolGate::AviCut: return openWithKind(ToolForm::AVIjqForm, currentFile, ".avi");
    case ToolGate::ExeToAvi: return openExeTool(ToolForm::EXE2AVIForm, currentFile, probes);
    case ToolGate::ExeToLx: return openExeTool(ToolForm::EXE2LXForm, currentFile, probes);
    case ToolGate::ExeCut: return openExeTool(ToolForm::EXEjqForm, currentFile, probes);
    case ToolGate::ExeMerge: return open(ToolForm::EXEhcForm);
    case ToolGate::MultiExeMerge: return open(ToolForm::DJExeForm);
    case ToolGate::MultiExeExtract: return openMultiExeExtraction(currentFile, probes);
    case ToolGate::LxCut: return openWithKind(ToolForm::LXjqForm, currentFile, ".lx");
    case ToolGate::LxMerge: return open(ToolForm::LXhcForm);
    case ToolGate::WmvCut:
      return wmvAvailable ? openWithKind(ToolForm::WMVjqForm, currentFile, ".wmv") : refuse(kNoWmvSupport);
    case ToolGate::WmvMerge: return wmvAvailable ? open(ToolForm::WMVhcForm) : refuse(kNoWmvSupport);
    case ToolGate::About: return open(ToolForm::AboutForm);
  }
  return GateOutcome();
}
