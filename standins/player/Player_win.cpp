// The player stub: the program at the front of every self-playing recording.
// It opens its own file, finds the recording behind it through the trailer,
// and plays it in a window: the pictures at the recording's frame rate with
// the recorded cursor, and the packed sound through waveOut in step with
// them. It answers "nowav" (silent play; the event "LXPLAYFF" is set once
// playback starts, and also when the recording cannot be played, so that a
// waiting caller never hangs) and "playfromto(first,last)"; Esc ends it.
// It is copied into every recording, so it stays small and keeps to the
// readers of the formats library: nothing of the file is read unchecked.
#include "ExeContainer.h"
#include "ExeFrames.h"
#include "FrameCodec.h"
#include "Graphics.h"
#include "Jpeg.h"
#include "PlayerCore.h"
#include "PlayerSound.h"
#include "SoundTrack.h"
#include "SysUtils.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

const wchar_t kWindowClass[] = L"LxPlayerWindow";
const char kStartedEvent[] = "LXPLAYFF";
// Frame times outside this range are damaged headers, not real rates.
constexpr int32_t kMinMsPerFrame = 10, kMaxMsPerFrame = 10000;

std::wstring wide(const AnsiString& s) { return Cp936ToWide(s); }

// The whole file through a Win32 handle, read-only and shared: the loader
// keeps the same file open while the stub runs.
class FileSource : public ByteSource {
public:
  ~FileSource() override {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  bool open(const std::wstring& path) {
    h_ = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER n;
    if (h_ == INVALID_HANDLE_VALUE || !GetFileSizeEx(h_, &n)) return false;
    size_ = n.QuadPart;
    return true;
  }
  int64_t size() override { return size_; }
  bool readAt(int64_t offset, void* out, std::size_t n) override {
    if (!contains(offset, static_cast<int64_t>(n))) return false;
    LARGE_INTEGER at;
    at.QuadPart = offset;
    if (!SetFilePointerEx(h_, at, nullptr, FILE_BEGIN)) return false;
    auto* p = static_cast<uint8_t*>(out);
    while (n > 0) {
      DWORD step = n > (1u << 24) ? (1u << 24) : DWORD(n), got = 0;
      if (!ReadFile(h_, p, step, &got, nullptr) || got != step) return false;
      p += step;
      n -= step;
    }
    return true;
  }

private:
  HANDLE h_ = INVALID_HANDLE_VALUE;
  int64_t size_ = 0;
};

// Keeps the last thing the codec wanted to say; the player reports a damaged
// frame once, in its own words.
class QuietHost : public FormatsHost {
public:
  void showMessage(const AnsiString& text) override { last = text; }
  AnsiString last;
};

// Sets "LXPLAYFF" once; a caller that waits for it is never left hanging.
void signalStarted() {
  static bool done = false;
  if (done) return;
  done = true;
  HANDLE e = OpenEventW(EVENT_MODIFY_STATE, FALSE, wide(kStartedEvent).c_str());
  if (e) {
    SetEvent(e);
    CloseHandle(e);
  }
}

void tell(HWND owner, const AnsiString& text) {
  signalStarted();
  MessageBoxW(owner, wide(text).c_str(), wide("录像播放").c_str(), MB_OK | MB_ICONWARNING);
}

// ---- sound ------------------------------------------------------------------

// The recording's sound as a WAV in memory; false (silent play) when there is
// none or it cannot be unpacked here.
bool unpackSound(ByteSource& src, const ExeRecording& rec, std::vector<uint8_t>& wav) {
  if (rec.soundStart < 0) return false;
  int packing = rec.settings.soundCodec;
  if (packing == kSoundMp3) {
    Mp3Block block;
    return readMp3Block(src, rec.soundStart, rec.soundEnd, block) && decodeMp3Block(src, block, wav);
  }
  const SoundPacking* p = findSoundPacking(packing);
  if (!p || !p->unpack) return false;
  SilentHost host;
  VectorSink sink;
  int64_t pos = rec.soundStart;
  if (p->unpack(src, pos, rec.soundEnd, sink, host) != 1) return false;
  wav.swap(sink.bytes);
  return true;
}

// One WAV played through waveOut from a given time on.
class SoundOut {
public:
  ~SoundOut() { stop(); }
  void start(std::vector<uint8_t> wav, uint32_t fromMs) {
    stop();
    wav_.swap(wav);
    WavPcm pcm;
    if (!readWavPcm(wav_, pcm)) return;
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = pcm.channels;
    f.nSamplesPerSec = pcm.rate;
    f.wBitsPerSample = pcm.bits;
    f.nBlockAlign = pcm.blockAlign();
    f.nAvgBytesPerSec = pcm.bytesPerSecond();
    uint64_t skip = uint64_t(fromMs) * pcm.bytesPerSecond() / 1000;
    skip -= skip % pcm.blockAlign();
    if (skip >= pcm.dataLength) return;
    if (waveOutOpen(&out_, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
      out_ = nullptr;  // no sound device: the pictures play on alone
      return;
    }
    hdr_ = WAVEHDR{};
    hdr_.lpData = reinterpret_cast<LPSTR>(wav_.data() + pcm.dataOffset + skip);
    hdr_.dwBufferLength = DWORD(pcm.dataLength - skip);
    if (waveOutPrepareHeader(out_, &hdr_, sizeof hdr_) == MMSYSERR_NOERROR) {
      prepared_ = true;
      waveOutWrite(out_, &hdr_, sizeof hdr_);
    }
  }
  void stop() {
    if (!out_) return;
    waveOutReset(out_);
    if (prepared_) waveOutUnprepareHeader(out_, &hdr_, sizeof hdr_);
    waveOutClose(out_);
    out_ = nullptr;
    prepared_ = false;
  }

private:
  HWAVEOUT out_ = nullptr;
  WAVEHDR hdr_{};
  bool prepared_ = false;
  std::vector<uint8_t> wav_;
};

// ---- pictures ----------------------------------------------------------------

COLORREF playerColour(int32_t c) {
  // The framework's colour values: negative ones name system colours.
  return c < 0 ? GetSysColor(c & 0xFF) : COLORREF(c & 0xFFFFFF);
}

// ---- the password prompt -------------------------------------------------------

// A dialog template built in memory (the stub carries no resources): a
// line of text, a password edit of 20 characters, OK and Cancel.
class DialogTemplate {
public:
  void dialog(DWORD style, short cx, short cy, const wchar_t* title, WORD items) {
    dword(style);
    dword(0);
    w_.insert(w_.end(), {items, 0, 0, WORD(cx), WORD(cy), 0, 0});  // no menu, default class
    text(title);
    w_.push_back(9);
    text(L"MS Shell Dlg");
  }
  void item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom, const wchar_t* title) {
    if (w_.size() % 2) w_.push_back(0);  // items start on a DWORD
    dword(style | WS_CHILD | WS_VISIBLE);
    dword(0);
    w_.insert(w_.end(), {WORD(x), WORD(y), WORD(cx), WORD(cy), id, 0xFFFF, atom});
    text(title);
    w_.push_back(0);
  }
  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(w_.data()); }

private:
  void dword(DWORD v) { w_.insert(w_.end(), {WORD(v), WORD(v >> 16)}); }
  void text(const wchar_t* t) {
    for (; *t; ++t) w_.push_back(WORD(*t));
    w_.push_back(0);
  }
  std::vector<WORD> w_;
};

constexpr WORD kPasswordEdit = 100;
constexpr int kMaxPassword = 20;

INT_PTR CALLBACK passwordProc(HWND d, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_INITDIALOG) {
    SetWindowLongPtrW(d, DWLP_USER, lp);
    SendDlgItemMessageW(d, kPasswordEdit, EM_LIMITTEXT, kMaxPassword, 0);
    SetFocus(GetDlgItem(d, kPasswordEdit));
    return FALSE;
  }
  if (m == WM_COMMAND && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) {
    if (LOWORD(wp) == IDOK) {
      wchar_t text[kMaxPassword + 1] = {};
      GetDlgItemTextW(d, kPasswordEdit, text, kMaxPassword + 1);
      *reinterpret_cast<std::string*>(GetWindowLongPtrW(d, DWLP_USER)) = WideToCp936(text).str();
    }
    EndDialog(d, LOWORD(wp));
    return TRUE;
  }
  return FALSE;
}

bool askPassword(HINSTANCE inst, std::string& password) {
  DialogTemplate t;
  t.dialog(DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU, 170, 62,
           wide("录像播放").c_str(), 4);
  t.item(SS_LEFT, 8, 8, 154, 10, 0xFFFF, 0x0082, wide("此录像设置了播放密码，请输入密码：").c_str());
  t.item(ES_PASSWORD | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 8, 22, 154, 12, kPasswordEdit, 0x0081, L"");
  t.item(BS_DEFPUSHBUTTON | WS_TABSTOP, 32, 42, 50, 14, IDOK, 0x0080, wide("确定").c_str());
  t.item(BS_PUSHBUTTON | WS_TABSTOP, 88, 42, 50, 14, IDCANCEL, 0x0080, wide("取消").c_str());
  return DialogBoxIndirectParamW(inst, t.get(), nullptr, passwordProc, LPARAM(&password)) == IDOK;
}

// ---- the player -------------------------------------------------------------

class Player {
public:
  Player(FileSource& src, const PlayerArgs& args) : src_(src), args_(args) {}
  int run(HINSTANCE inst, const std::wstring& path);

private:
  enum class Step { Shown, End, Damaged };
  bool openSection(std::size_t i);
  Step startSection();
  Step nextFrame();
  bool applyFrame(const ExeFrame& f, bool scrambled);
  void createWindow(HINSTANCE inst, const std::wstring& fallbackTitle);
  void paint(HDC dc);
  void placePicture(RECT& dest);
  void endOfPlay();
  void fail(const char* text);
  static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp);

  FileSource& src_;
  PlayerArgs args_;
  std::vector<SectionRecord> sections_;
  std::size_t section_ = 0;
  ExeRecording rec_;
  KeyText key_{};
  KeyText password_{};  // the key text of a password-protected recording
  bool scrambled_ = false;
  int32_t first_ = 0, last_ = 0, shown_ = -1, msPerFrame_ = 100;
  DWORD clock_ = 0;  // when frame first_ was shown
  bool playing_ = false;
  TBitmap picture_, screen_, update_;
  TIcon cursor_;
  int32_t cursorX_ = 0, cursorY_ = 0;
  bool cursorShown_ = false;
  SoundOut sound_;
  HWND wnd_ = nullptr;
  int exitCode_ = 0;  // 1 when the recording could not be played to its end
  AnsiString failure_;  // shown once the window is gone
  COLORREF background_ = 0;
  QuietHost host_;
};

bool Player::openSection(std::size_t i) {
  section_ = i;
  rec_ = ExeRecording();
  bool ok = sections_.empty() ? rec_.open(src_) : rec_.openSection(src_, sections_[i]);
  if (!ok || rec_.header.width <= 0 || rec_.header.height <= 0 ||
      rec_.header.width > kMaxPictureSide || rec_.header.height > kMaxPictureSide ||
      rec_.header.frameCount <= 0)
    return false;
  scrambled_ = rec_.trailer.editProtectKey != 0 || rec_.trailer.playPasswordKey != 0;
  key_ = rec_.trailer.editProtectKey != 0 ? editLockKeyText(rec_.trailer.editProtectKey) : password_;
  msPerFrame_ = rec_.header.msPerFrame;
  if (msPerFrame_ < kMinMsPerFrame) msPerFrame_ = kMinMsPerFrame;
  if (msPerFrame_ > kMaxMsPerFrame) msPerFrame_ = kMaxMsPerFrame;
  return true;
}

// Positions the section at its first frame to show (the range start, reached
// from the nearest key frame before it), shows it and starts the sound.
Player::Step Player::startSection() {
  int32_t count = rec_.header.frameCount;
  first_ = 0;
  last_ = count - 1;
  if (args_.range && sections_.empty()) {
    first_ = args_.first < 0 ? 0 : args_.first > count - 1 ? count - 1 : args_.first;
    last_ = args_.last < first_ ? first_ : args_.last > count - 1 ? count - 1 : args_.last;
  }
  std::size_t best = SIZE_MAX;
  for (std::size_t i = 0; i < rec_.keyFrames.size(); ++i) {
    int32_t n = rec_.keyFrames[i].first;
    if (n > 0 && n <= first_ && (best == SIZE_MAX || n > rec_.keyFrames[best].first)) best = i;
  }
  if (best != SIZE_MAX && !rec_.seekKeyFrame(best)) return Step::Damaged;
  if (picture_.Width() != rec_.header.width || picture_.Height() != rec_.header.height) {
    picture_.SetSize(rec_.header.width, rec_.header.height);
    screen_.SetSize(rec_.header.width, rec_.header.height);
  }
  cursorShown_ = false;
  shown_ = rec_.nextFrameNumber() - 1;
  while (shown_ < first_) {
    Step s = nextFrame();
    if (s != Step::Shown) return s;
  }
  std::vector<uint8_t> wav;
  if (!args_.noSound && unpackSound(src_, rec_, wav))
    sound_.start(std::move(wav), uint32_t(first_) * uint32_t(msPerFrame_));
  else
    sound_.stop();
  clock_ = timeGetTime();
  playing_ = true;
  if (wnd_) {
    std::string title = rec_.settings.title;
    if (!title.empty()) SetWindowTextW(wnd_, wide(AnsiString(title.c_str())).c_str());
    InvalidateRect(wnd_, nullptr, FALSE);
  }
  return Step::Shown;
}

Player::Step Player::nextFrame() {
  ExeFrame f;
  if (shown_ >= rec_.header.frameCount - 1) return Step::End;
  if (!rec_.readFrame(f, true) || !applyFrame(f, scrambled_)) return Step::Damaged;
  shown_ = f.number;
  return Step::Shown;
}

bool Player::applyFrame(const ExeFrame& f, bool scrambled) {
  if (f.hasCursorBlock) {
    cursorX_ = f.cursorX;
    cursorY_ = f.cursorY;
    cursorShown_ = true;
    if (!f.icon.empty()) cursor_.SetBytes(f.icon);
  }
  for (const ExeFrameUpdate& u : f.updates) {
    std::vector<uint8_t> image = u.image;
    if (scrambled && !unscrambleFrameImage(image, key_)) return false;
    if (!decodeExeUpdateImage(image, rec_.settings.imageCodec, update_, host_)) return false;
    // The decoded picture belongs at the stored corner, which may lie left
    // of or above the picture: copy only its part inside the picture.
    const int64_t sx = u.imageX(), sy = u.imageY();
    const int64_t w = std::min<int64_t>(u.rect.right - u.rect.left, update_.Width() - sx);
    const int64_t h = std::min<int64_t>(u.rect.bottom - u.rect.top, update_.Height() - sy);
    if (w > 0 && h > 0)
      BitBlt(HDC(picture_.DC()), u.rect.left, u.rect.top, int(w), int(h), HDC(update_.DC()),
             int(sx), int(sy), SRCCOPY);
  }
  return true;
}

// Where the picture goes in the client area: centred at its own size, or
// scaled down to fit (aspect kept) when the settings ask for it.
void Player::placePicture(RECT& dest) {
  RECT c;
  GetClientRect(wnd_, &c);
  int cw = c.right, ch = c.bottom, w = picture_.Width(), h = picture_.Height();
  if (rec_.settings.autoZoom == 1 && (w > cw || h > ch) && w > 0 && h > 0) {
    if (int64_t(cw) * h <= int64_t(ch) * w) {
      h = int(int64_t(h) * cw / w);
      w = cw;
    } else {
      w = int(int64_t(w) * ch / h);
      h = ch;
    }
  }
  dest.left = w < cw ? (cw - w) / 2 : 0;
  dest.top = h < ch ? (ch - h) / 2 : 0;
  dest.right = dest.left + w;
  dest.bottom = dest.top + h;
}

void Player::paint(HDC dc) {
  RECT c, d;
  GetClientRect(wnd_, &c);
  placePicture(d);
  HBRUSH bg = CreateSolidBrush(background_);
  RECT band[4] = {{0, 0, c.right, d.top}, {0, d.bottom, c.right, c.bottom},
                  {0, d.top, d.left, d.bottom}, {d.right, d.top, c.right, d.bottom}};
  for (const RECT& r : band)
    if (r.right > r.left && r.bottom > r.top) FillRect(dc, &r, bg);
  DeleteObject(bg);
  if (picture_.Empty()) return;
  // The cursor goes onto a copy, so the next frame's updates land on a clean picture.
  HDC s = HDC(screen_.DC());
  BitBlt(s, 0, 0, picture_.Width(), picture_.Height(), HDC(picture_.DC()), 0, 0, SRCCOPY);
  if (cursorShown_ && !cursor_.Empty() && cursor_.Handle())
    DrawIconEx(s, cursorX_, cursorY_, HICON(cursor_.Handle()), 0, 0, 0, nullptr, DI_NORMAL);
  int w = d.right - d.left, h = d.bottom - d.top;
  if (w == picture_.Width() && h == picture_.Height()) {
    BitBlt(dc, d.left, d.top, w, h, s, 0, 0, SRCCOPY);
  } else {
    SetStretchBltMode(dc, HALFTONE);
    StretchBlt(dc, d.left, d.top, w, h, s, 0, 0, picture_.Width(), picture_.Height(), SRCCOPY);
  }
}

void Player::createWindow(HINSTANCE inst, const std::wstring& fallbackTitle) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  wc.lpszClassName = kWindowClass;
  RegisterClassW(&wc);

  const ExePlaySettings& s = rec_.settings;
  background_ = playerColour(s.backgroundColour);
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  DWORD style;
  RECT r;
  if (s.fullScreen == 1) {
    style = WS_POPUP;
    r = RECT{0, 0, sw, sh};
  } else {
    style = s.standardFrame == 1 ? WS_OVERLAPPEDWINDOW : WS_POPUP;
    r = RECT{0, 0, rec_.header.width, rec_.header.height};
    AdjustWindowRect(&r, style, FALSE);
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w > sw) w = sw;
    if (h > sh) h = sh;
    int x = s.positionSpecified == 1 ? s.windowX : (sw - w) / 2;
    int y = s.positionSpecified == 1 ? s.windowY : (sh - h) / 2;
    r = RECT{x, y, x + w, y + h};
  }
  std::wstring title = s.title.empty() ? fallbackTitle : wide(AnsiString(s.title.c_str()));
  wnd_ = CreateWindowExW(0, kWindowClass, title.c_str(), style, r.left, r.top, r.right - r.left,
                         r.bottom - r.top, nullptr, nullptr, inst, this);
  ShowWindow(wnd_, s.fullScreen != 1 && s.startMaximised == 1 ? SW_SHOWMAXIMIZED : SW_SHOW);
  SetForegroundWindow(wnd_);
}

// The last frame has had its time: the next section, the start again, the
// end of the program, or the last picture stays until Esc.
void Player::endOfPlay() {
  if (!args_.range && section_ + 1 < sections_.size()) {
    if (openSection(section_ + 1) && startSection() == Step::Shown) return;
  } else if (rec_.settings.loopPlay == 1) {
    if (openSection(sections_.empty() || args_.range ? section_ : 0) && startSection() == Step::Shown)
      return;
  } else {
    playing_ = false;
    sound_.stop();
    if (rec_.settings.exitAtEnd == 1) PostQuitMessage(0);  // see fail()
    return;
  }
  fail("录像数据已损坏，播放结束");
}

// The window is hidden and the message follows after the message loop: a
// box owned by the playing window did not hand control back reliably. The
// player ends by leaving its loop, not by DestroyWindow, which under Wine can
// stall for seconds on the activation of another process's window.
void Player::fail(const char* text) {
  playing_ = false;
  sound_.stop();
  exitCode_ = 1;
  failure_ = text;
  signalStarted();
  ShowWindow(wnd_, SW_HIDE);
  PostQuitMessage(0);
}

LRESULT CALLBACK Player::proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_NCCREATE)
    SetWindowLongPtrW(w, GWLP_USERDATA, LONG_PTR(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
  auto* self = reinterpret_cast<Player*>(GetWindowLongPtrW(w, GWLP_USERDATA));
  switch (m) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(w, &ps);
      if (self) self->paint(dc);
      EndPaint(w, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // paint covers the whole client area
    case WM_SIZE:
      InvalidateRect(w, nullptr, FALSE);
      return 0;
    case WM_KEYDOWN:
      if (wp == VK_ESCAPE) PostQuitMessage(0);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(w, m, wp, lp);
}

int Player::run(HINSTANCE inst, const std::wstring& path) {
  int version = exeRecordingVersion(src_);
  int protection = exeProtectionState(src_);
  if (version > 100) {
    MultiExeTrailer t;
    if (!readMultiExeTail(src_, t, sections_) || sections_.empty()) version = -1;
  }
  if (version < 0) {
    tell(nullptr, "此文件中的录像已损坏，无法播放");
    return 1;
  }
  if (protection == 2) {
    // The trailer keeps only the password's value; the password itself is
    // the key that undoes the scrambled images.
    int32_t expected = 0;
    if (sections_.empty()) {
      uint8_t t[ExeTrailer::kSize];
      if (src_.readAt(src_.size() - int64_t(sizeof t), t, sizeof t))
        expected = ExeTrailer::load(t).playPasswordKey;
    } else {
      uint8_t t[MultiExeTrailer::kSize];
      if (src_.readAt(src_.size() - int64_t(sizeof t), t, sizeof t))
        expected = MultiExeTrailer::load(t).playPasswordKey;
    }
    std::string password;
    if (!askPassword(inst, password)) {
      signalStarted();
      return 1;
    }
    if (passwordValue(password) != expected) {
      tell(nullptr, "播放密码错误");
      return 1;
    }
    password_ = passwordKeyText(password);
  }
  if (!openSection(0)) {
    tell(nullptr, "此文件中的录像已损坏，无法播放");
    return 1;
  }
  std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
  createWindow(inst, name);
  timeBeginPeriod(1);
  if (startSection() != Step::Shown) {
    fail("录像数据已损坏，无法播放");
  } else {
    UpdateWindow(wnd_);
    signalStarted();
  }
  MSG msg;
  for (;;) {
    DWORD wait = INFINITE;
    if (playing_) {
      DWORD due = clock_ + DWORD(shown_ - first_ + 1) * DWORD(msPerFrame_);
      DWORD now = timeGetTime();
      if (int32_t(due - now) <= 0) {
        if (shown_ >= last_) {
          endOfPlay();
        } else {
          // A late player catches up: frames already due are applied, one paint.
          Step s;
          do {
            s = nextFrame();
          } while (s == Step::Shown && shown_ < last_ &&
                   int32_t(clock_ + DWORD(shown_ - first_ + 1) * DWORD(msPerFrame_) - now) <= 0);
          if (s == Step::Damaged)
            fail("录像数据已损坏，播放结束");
          else
            InvalidateRect(wnd_, nullptr, FALSE);
        }
        continue;
      }
      wait = due - now;
    }
    // MWMO_INPUTAVAILABLE: a message queued while the last frame was handled
    // (the WM_QUIT of the end of play) must wake the wait too.
    MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    bool quit = false;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) quit = true;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (quit) break;
  }
  sound_.stop();
  timeEndPeriod(1);
  if (!failure_.IsEmpty()) tell(nullptr, failure_);
  return exitCode_;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR, int) {
  wchar_t path[MAX_PATH * 4];
  DWORD n = GetModuleFileNameW(nullptr, path, DWORD(sizeof path / sizeof path[0]));
  if (n == 0 || n >= sizeof path / sizeof path[0]) return 1;
  // The arguments are plain ASCII words; the program name in front may be
  // quoted and hold spaces.
  std::wstring cmd = GetCommandLineW();
  std::size_t i = 0;
  if (!cmd.empty() && cmd[0] == L'"') {
    i = cmd.find(L'"', 1);
    i = i == std::wstring::npos ? cmd.size() : i + 1;
  } else {
    while (i < cmd.size() && cmd[i] != L' ' && cmd[i] != L'\t') ++i;
  }
  std::string tail;
  for (; i < cmd.size(); ++i) tail.push_back(cmd[i] < 128 ? char(cmd[i]) : '?');
  PlayerArgs args = parsePlayerArgs(tail);

  FileSource src;
  if (!src.open(path)) {
    tell(nullptr, AnsiString("打开文件失败,") + WideToCp936(path));
    return 1;
  }
  Player player(src, args);
  return player.run(inst, path);
}
