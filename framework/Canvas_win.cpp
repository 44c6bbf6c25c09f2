// TCanvas and its tools on GDI. The canvas owns no DC and keeps no GDI object
// selected between calls: each operation makes its pen, brush or font,
// selects it, draws, and puts the DC's previous objects back, so a canvas can
// be dropped at any time and DCs are never left holding deleted objects.
#include "Canvas.h"

#include "SysUtils.h"

namespace {

int ropFor(TPenMode m) {
  switch (m) {
    case pmXor: return R2_XORPEN;
    case pmNotXor: return R2_NOTXORPEN;
    case pmNot: return R2_NOT;
    default: return R2_COPYPEN;
  }
}

// Selects the canvas's pen and brush for one drawing call.
class PenAndBrush {
public:
  PenAndBrush(HDC dc, const TPen& pen, const TBrush& brush, bool withPen = true) : dc_(dc) {
    pen_ = withPen ? CreatePen(PS_SOLID, pen.Width, pen.Color) : static_cast<HPEN>(GetStockObject(NULL_PEN));
    brush_ = brush.Style == bsClear ? static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)) : CreateSolidBrush(brush.Color);
    ownsPen_ = withPen;
    ownsBrush_ = brush.Style != bsClear;
    oldPen_ = SelectObject(dc, pen_);
    oldBrush_ = SelectObject(dc, brush_);
    oldRop_ = SetROP2(dc, ropFor(pen.Mode));
  }
  ~PenAndBrush() {
    SetROP2(dc_, oldRop_);
    SelectObject(dc_, oldPen_);
    SelectObject(dc_, oldBrush_);
    if (ownsPen_) DeleteObject(pen_);
    if (ownsBrush_) DeleteObject(brush_);
  }
  PenAndBrush(const PenAndBrush&) = delete;
  PenAndBrush& operator=(const PenAndBrush&) = delete;

private:
  HDC dc_;
  HPEN pen_;
  HBRUSH brush_;
  HGDIOBJ oldPen_, oldBrush_;
  int oldRop_;
  bool ownsPen_, ownsBrush_;
};

class FontSelection {
public:
  FontSelection(HDC dc, const TFont& font) : dc_(dc), font_(font.Create()) { old_ = SelectObject(dc, font_); }
  ~FontSelection() {
    SelectObject(dc_, old_);
    DeleteObject(font_);
  }
  FontSelection(const FontSelection&) = delete;
  FontSelection& operator=(const FontSelection&) = delete;

private:
  HDC dc_;
  HFONT font_;
  HGDIOBJ old_;
};

}  // namespace

int TFont::Height() const { return -MulDiv(Size, 96, 72); }

HFONT TFont::Create() const {
  LOGFONTW lf = {};
  lf.lfHeight = Height();
  lf.lfWeight = (Style & fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (Style & fsItalic) ? TRUE : FALSE;
  lf.lfUnderline = (Style & fsUnderline) ? TRUE : FALSE;
  lf.lfStrikeOut = (Style & fsStrikeOut) ? TRUE : FALSE;
  lf.lfCharSet = static_cast<BYTE>(Charset);
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  std::wstring face = Cp936ToWide(Name);
  if (face.size() >= LF_FACESIZE) face.resize(LF_FACESIZE - 1);  // the face name field holds 31 characters
  face.copy(lf.lfFaceName, face.size());
  return CreateFontIndirectW(&lf);
}

void TCanvas::MoveTo(int x, int y) { MoveToEx(dc_, x, y, nullptr); }

void TCanvas::LineTo(int x, int y) {
  PenAndBrush s(dc_, Pen, Brush);
  ::LineTo(dc_, x, y);
}

void TCanvas::Polyline(const std::vector<POINT>& points) {
  if (points.empty()) return;
  PenAndBrush s(dc_, Pen, Brush);
  ::Polyline(dc_, points.data(), static_cast<int>(points.size()));
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  PenAndBrush s(dc_, Pen, Brush);
  ::Rectangle(dc_, x1, y1, x2, y2);
}

void TCanvas::FillRect(const RECT& r) {
  if (Brush.Style == bsClear) return;
  HBRUSH b = CreateSolidBrush(Brush.Color);
  ::FillRect(dc_, &r, b);
  DeleteObject(b);
}

void TCanvas::TextOut(int x, int y, const AnsiString& text) {
  std::wstring w = Cp936ToWide(text);
  FontSelection f(dc_, Font);
  COLORREF oldColour = SetTextColor(dc_, Font.Color);
  // A solid brush paints the text's background, a clear one leaves it.
  int oldMode = SetBkMode(dc_, Brush.Style == bsClear ? TRANSPARENT : OPAQUE);
  COLORREF oldBk = SetBkColor(dc_, Brush.Color);
  ::TextOutW(dc_, x, y, w.c_str(), static_cast<int>(w.size()));
  SetBkColor(dc_, oldBk);
  SetBkMode(dc_, oldMode);
  SetTextColor(dc_, oldColour);
}

int TCanvas::TextWidth(const AnsiString& text) {
  std::wstring w = Cp936ToWide(text);
  FontSelection f(dc_, Font);
  SIZE sz = {0, 0};
  GetTextExtentPoint32W(dc_, w.c_str(), static_cast<int>(w.size()), &sz);
  return sz.cx;
}

int TCanvas::TextHeight(const AnsiString& text) {
  std::wstring w = Cp936ToWide(text);
  FontSelection f(dc_, Font);
  SIZE sz = {0, 0};
  GetTextExtentPoint32W(dc_, w.c_str(), static_cast<int>(w.size()), &sz);
  if (w.empty()) {  // the height of a line even when there is no text
    TEXTMETRICW tm;
    if (GetTextMetricsW(dc_, &tm)) sz.cy = tm.tmHeight;
  }
  return sz.cy;
}

void TCanvas::Draw(int x, int y, TBitmap& bitmap) {
  if (bitmap.Empty()) return;
  BitBlt(dc_, x, y, bitmap.Width(), bitmap.Height(), static_cast<HDC>(bitmap.DC()), 0, 0, SRCCOPY);
}

void TCanvas::StretchDraw(const RECT& dest, TBitmap& bitmap) {
  if (bitmap.Empty()) return;
  int old = SetStretchBltMode(dc_, COLORONCOLOR);
  StretchBlt(dc_, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, static_cast<HDC>(bitmap.DC()), 0,
             0, bitmap.Width(), bitmap.Height(), SRCCOPY);
  SetStretchBltMode(dc_, old);
}

void TCanvas::CopyRect(const RECT& dest, TCanvas& source, const RECT& src) {
  int old = SetStretchBltMode(dc_, COLORONCOLOR);
  StretchBlt(dc_, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, source.Handle(), src.left,
             src.top, src.right - src.left, src.bottom - src.top, SRCCOPY);
  SetStretchBltMode(dc_, old);
}

void TCanvas::DrawIcon(int x, int y, HICON icon) {
  if (icon) ::DrawIcon(dc_, x, y, icon);
}
