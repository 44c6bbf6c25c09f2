// What the end-to-end recording tests share: the fixture set.dat of a direct
// recording of the full screen, the test scene as a running program, one
// recording through Vidorra.exe from the start/stop hot key to the file it
// leaves, and one run of a self-playing recording through its player stub.
// Windows (Wine) only; the CMake target defines the program paths.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ProgramRun.h"
#include "player_run.h"
#include "scene_frames.h"
#include "scene_run.h"
#include "test_files.h"

namespace directrun {

using namespace program;

inline bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
inline std::wstring OutPath(const std::wstring& name) { return robot::WinePath(DIRECTRUN_OUT) + L"\\" + name; }

// set.dat of a recording of the full screen at 5 frames a second with sound
// (16 bits, 11025 Hz) and the cursor, straight into the output asked for;
// the self-playing EXE plays full screen and ends at its end.
inline std::vector<std::string> DirectSettings(const ProgramFolder& folder, bool exe, bool deferFinish) {
  std::vector<std::string> lines(132, "0");
  lines[0] = "1", lines[2] = "1";  // Ctrl+Shift with F5 F6 F7 F8
  lines[3] = "F5", lines[4] = "F6", lines[5] = "F7", lines[73] = "F8";
  lines[6] = "1";                    // the stop tip was dismissed
  lines[18] = "1";                   // the EXE ends at its end
  lines[22] = "Scene";               // its title
  lines[23] = "1";                   // and plays full screen
  lines[25] = "2";                   // run-length code + zlib 9
  lines[27] = "2";                   // sound in zlib chunks
  lines[30] = "1";                   // record sound
  lines[31] = "1", lines[40] = "1";  // record the cursor
  lines[34] = "1";                   // record directly
  lines[36] = exe ? "0" : "1";       // AVI
  lines[37] = exe ? "1" : "0";       // EXE
  lines[38] = Utf8(folder.work());   // working folder (ASCII)
  lines[42] = "2", lines[43] = "2";  // 16 bits, 11025 Hz
  lines[68] = "5";                   // frames per second
  lines[61] = "SimSun";
  lines[51] = "541215044";           // AVI compressor 'DIB ' (uncompressed)
  lines[98] = deferFinish ? "1" : "0";
  return lines;
}

// One recording through the program: started by the start/stop hot-key
// message once the scene shows, stopped after recordMs, and waited for
// until finished() holds and the recorder is idle again.
struct Recording {
  std::vector<std::string> boxes;  // message boxes the program showed
  bool started = false, stopped = false;
  DWORD recordedMs = 0;
  std::vector<std::string> files;  // the working folder's files after the stop, "name size"
};

inline std::vector<std::string> FilesIn(const std::wstring& folder) {
  std::vector<std::string> out;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((folder + L"*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      out.push_back(Utf8(fd.cFileName) + " " + std::to_string(fd.nFileSizeLow));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return out;
}

// clicks: screen points clicked (as the hook reports a left click), spread
// evenly over the recording: a single one half-way.
// killed: the program is ended hard after recordMs instead of stopped (its
// helpers are then closed, so the sound server lets go of the side file).
inline Recording RecordScene(ProgramFolder& folder, const std::vector<std::string>& settings, int stillAfterMs,
                             DWORD recordMs, const std::function<bool()>& finished,
                             const std::vector<POINT>& clicks = {}, bool killed = false) {
  Recording r;
  folder.WriteSettings(settings);
  // The instance mutex is global to the Wine prefix, which other programs of
  // the machine may share: a start refused for a running instance is tried
  // again for a while.
  std::unique_ptr<ProgramRun> started;
  for (int attempt = 0; attempt < 60; ++attempt) {
    started.reset(new ProgramRun);
    started->Start(folder);
    if (started->mainForm || !started->Saw(u8"你已经打开了一个Vidorra，不能同时打开两个")) break;
    started->PumpUntilExit(5000);
    started.reset();
    EndHelpers();
    Sleep(5000);
  }
  if (!started) {
    ADD_FAILURE() << "another Vidorra kept running";
    return r;
  }
  ProgramRun& run = *started;
  if (!run.mainForm) {
    ADD_FAILURE() << "no main form" << (run.boxes.empty() ? "" : ": " + run.boxes.back())
                  << (run.exited ? " (the program ended with code " + std::to_string(run.exitCode) + ")" : "");
    r.boxes = run.boxes;
    return r;
  }
  scene::SceneWindow scene;
  if (!scene.StartFullScreen(stillAfterMs)) {
    // Seen under Wine when the prefix's wineserver serves another display
    // too: new popup windows die of an X error.
    ADD_FAILURE() << "the scene does not show moving on this display";
    PostMessageW(run.mainForm, WM_CLOSE, 0, 0);
    run.PumpUntilExit(20000);
    r.boxes = run.boxes;
    return r;
  }
  HWND form = run.mainForm;
  PostMessageW(form, WM_HOTKEY, 0, 0);
  // The recording's time counts from its start, which a slow machine may
  // reach only seconds after the hot key.
  const DWORD asked = GetTickCount();
  run.Pump(120000, [&] { return program::RecorderState(form) == 2; });
  std::printf("recording started %lu ms after the hot key\n", GetTickCount() - asked);
  scene.RecordingStarted();
  const DWORD t0 = GetTickCount();
  // The clicks spread evenly over the recording (one comes half-way).
  const DWORD n = DWORD(clicks.size());
  for (DWORD i = 0; i < n; ++i) {
    const DWORD due = t0 + recordMs * (i + 1) / (n + 1);
    if (int(due - GetTickCount()) > 0) run.Pump(due - GetTickCount(), [] { return false; });
    PostMessageW(form, WM_USER + 5, 1, MAKELPARAM(clicks[i].x, clicks[i].y));
  }
  const DWORD end = t0 + recordMs;
  if (int(end - GetTickCount()) > 0) run.Pump(end - GetTickCount(), [] { return false; });
  r.started = program::RecorderState(form) == 2;
  if (killed) {
    r.recordedMs = GetTickCount() - t0;
    TerminateProcess(run.pi.hProcess, 9);
    WaitForSingleObject(run.pi.hProcess, 10000);
    EndHelpers();
    r.files = FilesIn(folder.work());
    r.boxes = run.boxes;
    return r;
  }
  PostMessageW(form, WM_HOTKEY, 0, 0);
  r.recordedMs = GetTickCount() - t0;
  // finished() is asked first and on every turn: it may answer the dialogs
  // the stop shows (the bit-rate choice of an MP3 sound).
  run.Pump(120000, [&] { return finished() && program::RecorderState(form) == 1; });
  r.stopped = program::RecorderState(form) == 1;
  std::printf("recording %s %lu ms after the stop key\n", r.stopped ? "stopped" : "still not stopped",
              GetTickCount() - t0 - r.recordedMs);
  r.files = FilesIn(folder.work());
  scene.Close();
  PostMessageW(form, WM_CLOSE, 0, 0);
  run.PumpUntilExit(20000);
  EXPECT_TRUE(run.exited);
  r.boxes = run.boxes;
  return r;
}

// A self-playing recording run by its player stub.
using checkers::PlayerRun;

}  // namespace directrun
