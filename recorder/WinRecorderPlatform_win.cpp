// The recorder's platform on Windows (see WinRecorderPlatform_win.h).
#include "WinRecorderPlatform_win.h"

#include <winsock2.h>
#include <windows.h>
#include <oleauto.h>

#include "RecordingMixer.h"
#include "SoundSync.h"
#include "SysUtils.h"
#include "TickSideWork.h"

namespace {

// Dispatch ids of the sound server's interface, fixed by its type library.
constexpr DISPID kDispStop = 1;
constexpr DISPID kDispStart = 2;
constexpr DISPID kDispNowTime = 3;
constexpr DISPID kDispStartReturn = 4;
constexpr DISPID kDispInputLevel = 5;  // yinliangv

HRESULT invoke(IDispatch* d, DISPID id, WORD flags, VARIANT* args, UINT argCount, VARIANT* result) {
  if (!d) return E_POINTER;
  DISPPARAMS params = {args, nullptr, argCount, 0};
  return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
}

bool getInt(IDispatch* d, DISPID id, int& value) {
  VARIANT v;
  VariantInit(&v);
  HRESULT hr = invoke(d, id, DISPATCH_PROPERTYGET, nullptr, 0, &v);
  if (FAILED(hr)) return false;
  bool ok = SUCCEEDED(VariantChangeType(&v, &v, 0, VT_I4));
  if (ok) value = v.lVal;
  VariantClear(&v);
  return ok;
}

}  // namespace

WinRecorderPlatform::WinRecorderPlatform(const WinPlatformOptions& options)
    : options_(options), capture_(new GdiFrameCapture(options.capture)) {}

WinRecorderPlatform::~WinRecorderPlatform() = default;

bool WinRecorderPlatform::startSound(const AnsiString& wavPath) {
  IDispatch* d = options_.soundServer;
  if (!d) return false;
  // Arguments go in reverse order: bits, rate, path.
  VARIANT args[3];
  for (VARIANT& a : args) VariantInit(&a);
  args[0].vt = VT_I4;
  args[0].lVal = options_.soundBits;
  args[1].vt = VT_I4;
  args[1].lVal = options_.soundRate;
  args[2].vt = VT_BSTR;
  args[2].bstrVal = SysAllocString(Cp936ToWide(wavPath).c_str());
  if (!args[2].bstrVal) return false;
  invoke(d, kDispStart, DISPATCH_METHOD, args, 3, nullptr);
  VariantClear(&args[2]);
  int result = 0;
  // The start's own result is not trusted: the server tells through
  // startreturn whether the file is being recorded.
  if (!getInt(d, kDispStartReturn, result) || result == 0) return false;
  lastSoundMs_ = 0;
  return true;
}

void WinRecorderPlatform::stopSound() {
  IDispatch* d = options_.soundServer;
  if (!d) return;
  HANDLE done = static_cast<HANDLE>(options_.stopEvent);
  // An old signal left from an earlier stop must not stand for this one.
  if (done) ResetEvent(done);
  invoke(d, kDispStop, DISPATCH_METHOD, nullptr, 0, nullptr);
  if (!done || WaitForSingleObject(done, kSoundStopWaitMs) != WAIT_OBJECT_0) ++stopTimeouts_;
}

int64_t WinRecorderPlatform::soundMs() {
  int ms = 0;
  // A failed read keeps the last value: the sync then changes nothing.
  if (getInt(options_.soundServer, kDispNowTime, ms) && ms >= 0) lastSoundMs_ = ms;
  return lastSoundMs_;
}

RecorderPlatform::Capture WinRecorderPlatform::capture(RecordedPicture& picture) {
  const int frames = session_ ? session_->framesInTime() : 0;
  const Capture result = capture_->capture(picture, frames);
  if (result != Capture::Picture || !options_.side) return result;
  SideTick tick;
  tick.framesInTime = frames;
  tick.running = session_ && session_->state().state() == RecorderState::Recording;
  // Until the server reports a level, sound is taken to be coming in.
  if (frames == 0) inputLevel_ = kStartInputLevel;
  tick.inputLevel = inputLevel_;
  // Each output file (a split starts a new one at frame 0) gets its own
  // monitor window.
  if (frames > 0) sideOpenedForFile_ = false;
  tick.firstOfFile = frames == 0 && !sideOpenedForFile_;
  if (tick.firstOfFile) {
    sideOpenedForFile_ = true;
    // A split has moved the sound on to the new file's side file.
    if (session_ && session_->output()) tick.soundFile = soundPathFor(*session_->output());
  }
  if (tick.running) {
    ++runningPictures_;
    tick.monitorDue = monitorDue(runningPictures_, session_->header().msPerFrame);
  }
  try {
    options_.side->pictureTaken(tick, capture_->bitmap());
  } catch (...) {
    // A window beside the recording that cannot draw must not end it.
  }
  return result;
}

void WinRecorderPlatform::readInputLevel() {
  int level = 0;
  if (getInt(options_.soundServer, kDispInputLevel, level)) inputLevel_ = level;
}

void WinRecorderPlatform::keepMixerSettings() {
  if (!options_.keepMixer || !options_.mixer || !options_.savedSoundSource || !options_.savedSoundVolume) return;
  applyKeptMixerSettings(*options_.mixer, *options_.savedSoundSource, *options_.savedSoundVolume);
}

void WinRecorderPlatform::postStopCommand() {
  PostMessageW(static_cast<HWND>(options_.mainWindow), WM_HOTKEY, static_cast<WPARAM>(options_.stopHotKeyId), 0);
}

int64_t WinRecorderPlatform::fileBytes(const AnsiString& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Cp936ToWide(path).c_str(), GetFileExInfoStandard, &data)) return 0;
  return (int64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

int64_t freeDiskMB(const AnsiString& folder) {
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExW(Cp936ToWide(folder).c_str(), &available, nullptr, nullptr)) return 0;
  return int64_t(available.QuadPart / (1024 * 1024));
}

int64_t WinRecorderPlatform::freeDiskMiB() { return freeDiskMB(options_.folder); }
