// The tool gates: for each command, selection and probe result, the message
// that refuses the tool or the form that opens with the path it is given.
// The probes answer from the row and count how often they are asked, so a
// check that asks what it does not need shows.
#include <gtest/gtest.h>

#include <string>

#include "SysUtils.h"
#include "ToolGates.h"

namespace {

struct Probes : ExeProbes {
  int v = 8, p = 0, s = 1;
  int asked = 0;
  int version() override { ++asked; return v; }
  int protection() override { ++asked; return p; }
  int soundPacking() override { ++asked; return s; }
};

const char* const kNone = "";
// The messages as the user reads them.
const char* const kNotLatestExe = "此EXE不是最新版的录像文件，不能使用此功能";
const char* const kMultiSectionExe = "此EXE是合成多节EXE，不能使用此功能";
const char* const kProtectedExe = "此EXE已经加密过，无法进行编辑";
const char* const kLossySoundExe = "声音是有损压缩的EXE不支持此操作";
const char* const kChooseMultiExe = "请在录像列表框中选择一个多节EXE文件";
const char* const kNotMultiExe = "此EXE不是多节EXE，不能使用此功能";
const char* const kNoWmvSupport = "此电脑上还没有安装wmv支持文件,本软件的wmv格式功能无法使用";

TEST(ToolGates, ProbeResultsToMessageOrForm) {
  struct Row {
    const char* name;
    ToolGate gate;
    const char* selection;
    bool wmv;
    int version, protection, packing;
    const char* message;  // "" when a form opens
    ToolForm form;
    const char* file;
    int probesAsked;
  };
  const char* exe = "C:\\w\\r.exe";
  const Row rows[] = {
      // EXE to AVI, EXE to LX and EXE cut: the EXE check in its order.
      {"EXE to AVI with an .lx selected opens empty", ToolGate::ExeToAvi, "C:\\w\\r.lx", false, 8, 0, 0, kNone,
       ToolForm::EXE2AVIForm, "", 0},
      {"EXE to AVI with nothing selected opens empty", ToolGate::ExeToAvi, "", false, 8, 0, 0, kNone,
       ToolForm::EXE2AVIForm, "", 0},
      {"a version-5 EXE is not the latest", ToolGate::ExeToAvi, exe, false, 5, 0, 0, kNotLatestExe, ToolForm::None, "",
       1},
      {"not a recording at all", ToolGate::ExeToAvi, exe, false, -1, 0, 0, kNotLatestExe, ToolForm::None, "", 1},
      {"MP3-packed sound", ToolGate::ExeToAvi, exe, false, 8, 0, 5, kLossySoundExe, ToolForm::None, "", 3},
      {"TrueSpeech-packed sound", ToolGate::ExeToLx, exe, false, 8, 0, 6, kLossySoundExe, ToolForm::None, "", 3},
      {"edit-locked", ToolGate::ExeToLx, exe, false, 8, 1, 5, kProtectedExe, ToolForm::None, "", 2},
      {"password", ToolGate::ExeCut, exe, false, 8, 2, 0, kProtectedExe, ToolForm::None, "", 2},
      {"a protected multi-section EXE is refused as multi-section first", ToolGate::ExeCut, exe, false, 108, 1, 0,
       kMultiSectionExe, ToolForm::None, "", 1},
      {"a good EXE, capital extension", ToolGate::ExeCut, "C:\\w\\R.EXE", false, 8, 0, 2, kNone, ToolForm::EXEjqForm,
       "C:\\w\\R.EXE", 3},
      {"a good EXE to LX", ToolGate::ExeToLx, exe, false, 8, 0, 0, kNone, ToolForm::EXE2LXForm, exe, 3},
      {"a good EXE to AVI", ToolGate::ExeToAvi, exe, false, 8, 0, 1, kNone, ToolForm::EXE2AVIForm, exe, 3},
      // Extracting sections.
      {"extraction needs an .exe", ToolGate::MultiExeExtract, "C:\\w\\r.lx", false, 108, 0, 0, kChooseMultiExe,
       ToolForm::None, "", 0},
      {"extraction of a single-section version 8", ToolGate::MultiExeExtract, exe, false, 8, 0, 0, kNotMultiExe,
       ToolForm::None, "", 1},
      {"extraction of an old multi-section EXE", ToolGate::MultiExeExtract, exe, false, 105, 0, 0, kNotLatestExe,
       ToolForm::None, "", 1},
      {"extraction of a protected multi-section EXE", ToolGate::MultiExeExtract, exe, false, 108, 2, 0, kProtectedExe,
       ToolForm::None, "", 2},
      {"extraction of a multi-section EXE with lossy sound", ToolGate::MultiExeExtract, exe, false, 108, 0, 5, kNone,
       ToolForm::DJExeTqForm, exe, 2},
      // Tools that take the selection only when it is of their kind.
      {"AVI conversion of an AVI", ToolGate::AviConvert, "C:\\w\\a.AVI", false, 0, 0, 0, kNone,
       ToolForm::AviChangeForm, "C:\\w\\a.AVI", 0},
      {"AVI conversion of an EXE", ToolGate::AviConvert, exe, false, 0, 0, 0, kNone, ToolForm::AviChangeForm, "", 0},
      {"AVI cut of an AVI", ToolGate::AviCut, "C:\\w\\a.avi", false, 0, 0, 0, kNone, ToolForm::AVIjqForm,
       "C:\\w\\a.avi", 0},
      {"AVI cut of a WMV", ToolGate::AviCut, "C:\\w\\a.wmv", false, 0, 0, 0, kNone, ToolForm::AVIjqForm, "", 0},
      {"LX cut of an .lx", ToolGate::LxCut, "C:\\w\\r.Lx", false, 0, 0, 0, kNone, ToolForm::LXjqForm, "C:\\w\\r.Lx",
       0},
      {"LX cut of an AVI", ToolGate::LxCut, "C:\\w\\a.avi", false, 0, 0, 0, kNone, ToolForm::LXjqForm, "", 0},
      // Dubbing takes the selection whatever it is.
      {"AVI dubbing", ToolGate::AviDub, exe, false, 0, 0, 0, kNone, ToolForm::AVIForm, exe, 0},
      // Tools that take nothing.
      {"AVI merge", ToolGate::AviMerge, exe, false, 0, 0, 0, kNone, ToolForm::AvihcForm, "", 0},
      {"EXE merge", ToolGate::ExeMerge, exe, false, 0, 0, 0, kNone, ToolForm::EXEhcForm, "", 0},
      {"multi-section merge", ToolGate::MultiExeMerge, exe, false, 0, 0, 0, kNone, ToolForm::DJExeForm, "", 0},
      {"LX merge", ToolGate::LxMerge, "C:\\w\\r.lx", false, 0, 0, 0, kNone, ToolForm::LXhcForm, "", 0},
      {"about", ToolGate::About, exe, false, 0, 0, 0, kNone, ToolForm::AboutForm, "", 0},
      // The WMV tools need the WMV library.
      {"WMV cut without the library", ToolGate::WmvCut, "C:\\w\\a.wmv", false, 0, 0, 0, kNoWmvSupport, ToolForm::None,
       "", 0},
      {"WMV merge without the library", ToolGate::WmvMerge, "", false, 0, 0, 0, kNoWmvSupport, ToolForm::None, "", 0},
      {"WMV cut with the library", ToolGate::WmvCut, "C:\\w\\a.WMV", true, 0, 0, 0, kNone, ToolForm::WMVjqForm,
       "C:\\w\\a.WMV", 0},
      {"WMV cut of an AVI with the library", ToolGate::WmvCut, "C:\\w\\a.avi", true, 0, 0, 0, kNone,
       ToolForm::WMVjqForm, "", 0},
      {"WMV merge with the library", ToolGate::WmvMerge, "", true, 0, 0, 0, kNone, ToolForm::WMVhcForm, "", 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    Probes probes;
    probes.v = r.version;
    probes.p = r.protection;
    probes.s = r.packing;
    const GateOutcome g = runToolGate(r.gate, r.selection, r.wmv, "C:\\prog\\", probes);
    EXPECT_EQ(g.message.str(), r.message);
    EXPECT_EQ(g.form, r.form);
    EXPECT_EQ(g.file.str(), r.file);
    EXPECT_EQ(probes.asked, r.probesAsked);
  }
}

TEST(ToolGates, DubbingIsGivenItsTemporaryResultAndTheProgramFolder) {
  Probes probes;
  const GateOutcome g = runToolGate(ToolGate::AviDub, "", false, "C:\\程序\\", probes);
  EXPECT_EQ(g.form, ToolForm::AVIForm);
  EXPECT_EQ(g.file.str(), "");
  EXPECT_EQ(g.tempAvi.str(), AnsiString("C:\\程序\\ls.avi").str());
  EXPECT_EQ(g.programFolder.str(), AnsiString("C:\\程序\\").str());
}

}  // namespace
