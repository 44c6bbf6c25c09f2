// Window picking for the recording target (see TargetPicking_win.h).
#include "TargetPicking_win.h"

#include "MainForm_win.h"

#include <cstring>
#include <vector>

#include "SysUtils.h"
#include "SystemHelpers.h"

namespace {

const int kOutlinePen = 3;

bool isEmptyRect(const int r[4]) { return r[0] == 0 && r[1] == 0 && r[2] == 0 && r[3] == 0; }

// The outline around a window while it is being picked: drawn with XOR on
// the desktop, so drawing the same rectangle again takes it away.
void xorOutline(const int r[4]) {
  HWND desktop = GetDesktopWindow();
  HDC dc = GetWindowDC(desktop);
  if (!dc) return;
  HPEN pen = CreatePen(PS_SOLID, kOutlinePen, RGB(255, 255, 255));
  SetROP2(dc, R2_XORPEN);
  SelectObject(dc, GetStockObject(NULL_BRUSH));
  SelectObject(dc, pen);
  Rectangle(dc, r[0], r[1], r[2], r[3]);
  SelectObject(dc, GetStockObject(BLACK_PEN));
  DeleteObject(pen);
  SetROP2(dc, R2_COPYPEN);
  ReleaseDC(desktop, dc);
}

// While picking, the main window gets out of the way as it does while
// recording; the end of the pick undoes it.
void hideForPick(TMainForm& form) {
  if (form.RadioButton2->Checked()) {
    form.Hide();
  } else if (form.RadioButton3->Checked()) {
    form.addTrayIcon();
    form.Hide();
  }
}
void showAfterPick(TMainForm& form) {
  if (form.RadioButton2->Checked()) {
    form.Show();
  } else if (form.RadioButton3->Checked()) {
    form.Show();
    form.removeTrayIcon();
  }
}

// All pixels of an 8- or 16-bit picture alike (a capture that came out
// black); deeper pictures are never taken for uniform.
bool isUniformPicture(TBitmap& picture) {
  const TPixelFormat pf = picture.PixelFormat();
  if ((pf != pf8bit && pf != pf16bit) || picture.Empty()) return false;
  const int bytes = pf == pf8bit ? 1 : 2;
  const uint8_t* bits = picture.Bits();
  const std::size_t stride = static_cast<std::size_t>(picture.Stride());
  const uint8_t* first = bits + stride * static_cast<std::size_t>(picture.Height() - 1);  // top row, bottom-up DIB
  for (int y = 0; y < picture.Height(); ++y) {
    const uint8_t* row = bits + stride * static_cast<std::size_t>(y);
    for (int x = 0; x < picture.Width(); ++x)
      if (std::memcmp(row + x * bytes, first, static_cast<std::size_t>(bytes)) != 0) return false;
  }
  return true;
}

// With "自动" the snapshot doubles as a measurement: four copies, each with a
// pass over its 16-bit pixels standing for the coding of a frame, give the
// frame rate to propose.
void proposeFrameRate(TMainForm& form, HDC screen, int width, int height, int left, int top) {
  const DWORD rop = SRCCOPY | static_cast<DWORD>(form.captureBltFlag);
  TBitmap& picture = *form.previewBitmap;
  std::vector<uint8_t> pixels;
  const DWORD t0 = GetTickCount();
  for (int round = 0; round < 4; ++round) {
    BitBlt(static_cast<HDC>(picture.DC()), 0, 0, width, height, screen, left, top, rop);
    GdiFlush();
    const uint8_t* bits = picture.Bits();
    pixels.assign(bits, bits + static_cast<std::size_t>(picture.Stride()) * static_cast<std::size_t>(height));
    for (uint8_t& b : pixels) {
      if (b == 10) b = 11;
      b ^= 10;
    }
  }
  unsigned t = static_cast<unsigned>(GetTickCount() - t0) / 5u;
  if (t < 20) t = 20;
  const float rate = 1000.0f / static_cast<float>(t);
  const float v = rate / 3.0f + 0.5f;
  if (v < 3.0f) {
    form.Edit9->SetText("3");
    return;
  }
  const int n = static_cast<int>(v);
  int proposal = n;
  if (form.RadioButton7->Checked()) {
    if (n > 5) proposal = 5;
  } else if (n > 12) {
    proposal = 15;
  } else if (n > 7) {
    proposal = 10;
  } else if (n > 3) {
    proposal = 5;
  }
  form.Edit9->SetText(IntToStr(proposal));
}

// The picked area into the preview picture and "nowlx.bmp".
void snapshotTarget(TMainForm& form, int left, int top, int width, int height) {
  if (!form.previewBitmap || width <= 0 || height <= 0) return;
  form.previewBitmap->SetSize(width, height);
  HWND desktop = GetDesktopWindow();
  HDC screen = GetWindowDC(desktop);
  if (!screen) return;
  if (form.CheckBox8->Checked())
    proposeFrameRate(form, screen, width, height, left, top);
  else
    BitBlt(static_cast<HDC>(form.previewBitmap->DC()), 0, 0, width, height, screen, left, top,
           SRCCOPY | static_cast<DWORD>(form.captureBltFlag));
  ReleaseDC(desktop, screen);
  GdiFlush();
  try {
    form.previewBitmap->SaveToFile(form.appDir + "nowlx.bmp");
  } catch (const Exception&) {
    // The snapshot is a convenience for the preview; a read-only program
    // folder must not end the pick.
  }
}

void writeRangeEdits(TMainForm& form, int left, int top, int right, int bottom) {
  form.Edit3->SetText(IntToStr(left));
  form.Edit4->SetText(IntToStr(top));
  form.Edit5->SetText(IntToStr(right));
  form.Edit6->SetText(IntToStr(bottom));
  form.dragRect[2] = right - left;
  form.dragRect[3] = bottom - top;
}

void startWindowPick(TMainForm& form) {
  hideForPick(form);
  for (int& v : form.pickWindowRect) v = 0;
  form.pickMode = 2;
  form.hotKeysArmed = 0;
  if (isVistaOrLater())
    notifyMouseHelperWindow(kHelperPickWindow);
  else if (pickHookProc)
    pickHookProc(TRUE, form.Handle());
}

void onWindowRadio(TMainForm& form) {
  if (form.loadingSettings) return;
  if (auto* b = dynamic_cast<TSpeedButton*>(form.FindComponent("SpeedButton1"))) b->SetEnabled(true);
  form.SpeedButton21->SetEnabled(false);
  form.CheckBox28->SetChecked(form.monitorWindowChoice != 0);
  startWindowPick(form);
}

void onPickMove(TMainForm& form, TMessage& m) {
  if (form.pickMode != 2) return;
  const POINT pt{static_cast<LONG>(static_cast<int>(m.WParam)), static_cast<LONG>(static_cast<int>(m.LParam))};
  HWND window = WindowFromPoint(pt);
  form.targetWindow = window;
  RECT r;
  if (!window || !GetWindowRect(window, &r)) return;
  const int now[4] = {r.left, r.top, r.right, r.bottom};
  if (std::memcmp(now, form.pickWindowRect, sizeof now) == 0) return;
  // Nothing was drawn before the first move: erasing the empty rectangle
  // would leave a mark in the screen's corner.
  if (!isEmptyRect(form.pickWindowRect)) xorOutline(form.pickWindowRect);
  xorOutline(now);
  std::memcpy(form.pickWindowRect, now, sizeof now);
}

void onPickDone(TMainForm& form, TMessage& m) {
  if (form.pickMode != 2) return;
  form.pickMode = -1;
  if (isVistaOrLater())
    notifyMouseHelperWindow(kHelperStop);
  else if (pickHookProc)
    pickHookProc(FALSE, form.Handle());
  form.hotKeysArmed = 1;
  if (!isEmptyRect(form.pickWindowRect)) xorOutline(form.pickWindowRect);

  // The window under the pointer now is the target; its handle and its
  // rectangle are taken together, so the recording captures the window the
  // edits describe.
  POINT pt;
  GetCursorPos(&pt);
  HWND window = WindowFromPoint(pt);
  RECT r = {};
  if (window && GetWindowRect(window, &r)) form.targetWindow = window;
  form.pickWindowRect[0] = r.left;
  form.pickWindowRect[1] = r.top;
  form.pickWindowRect[2] = r.right;
  form.pickWindowRect[3] = r.bottom;
  writeRangeEdits(form, r.left, r.top, r.right, r.bottom);
  snapshotTarget(form, r.left, r.top, r.right - r.left, r.bottom - r.top);
  if (form.previewBitmap && isUniformPicture(*form.previewBitmap))
    ShowMessage(
        "如果录制得到的是黑屏,没有图象,请看 向导 窗体第6条关于录视频的说明,按说明设置就可以录到图像。使用 文件/向导 "
        "菜单就可以打开 向导 窗体。");
  showAfterPick(form);

  const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
  const int left = r.left < 0 ? 0 : r.left, top = r.top < 0 ? 0 : r.top;
  const int right = r.right > screenW ? screenW : r.right, bottom = r.bottom > screenH ? screenH : r.bottom;
  if (left == r.left && top == r.top && right == r.right && bottom == r.bottom) return;
  writeRangeEdits(form, left, top, right, bottom);
  ShowMessage(
      "由于你选择的窗口处于最大化状态或有一部分处于屏幕外部,本软件将自动选择在屏幕范围内的区域并自动切换到范围方式");
  form.RadioButton8->SetEnabled(false);
  form.RadioButton9->SetChecked(true);
  form.RadioButton8->SetEnabled(true);
}

}  // namespace

void installTargetPicking(TMainForm& form) {
  TMainForm* f = &form;
  form.RadioButton8->OnClick = [f](TObject*) { onWindowRadio(*f); };
  if (auto* b = dynamic_cast<TSpeedButton*>(form.FindComponent("SpeedButton1"))) {
    b->OnClick = [f](TObject*) {
      if (!f->loadingSettings) startWindowPick(*f);
    };
    // Picking a window belongs to the window target only.
    for (TRadioButton* other : {form.RadioButton7, form.RadioButton9}) {
      TNotifyEvent before = other->OnClick;
      other->OnClick = [before, b](TObject* sender) {
        if (before) before(sender);
        b->SetEnabled(false);
      };
    }
  }
  form.onPickMove = [f](TMessage& m) { onPickMove(*f, m); };
  form.onPickDone = [f](TMessage& m) { onPickDone(*f, m); };
}
