// TCanvas and its tools (TFont, TPen, TBrush) on GDI. Windows only: the
// drawing surface of bitmaps, forms and image controls.
#pragma once
#ifndef _WIN32
#error "Canvas.h is part of the Win32 layer"
#endif

#include <windows.h>

#include <vector>

#include "Graphics.h"
#include "System.h"

typedef COLORREF TColor;  // 0x00BBGGRR, as GDI
const TColor clBlack = 0x000000, clWhite = 0xFFFFFF, clRed = 0x0000FF, clLime = 0x00FF00,
             clBlue = 0xFF0000, clYellow = 0x00FFFF, clGray = 0x808080, clSilver = 0xC0C0C0,
             clBtnFace = 0xF0F0F0;

enum TFontStyle { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
enum TPenMode { pmCopy, pmXor, pmNotXor, pmNot };
enum TBrushStyle { bsSolid, bsClear };

class TFont {
public:
  AnsiString Name = "宋体";  // CP936
  int Size = 9;               // points; Height() gives the GDI height
  TColor Color = clBlack;
  int Style = 0;              // TFontStyle bits
  int Charset = GB2312_CHARSET;
  int Height() const;         // negative pixel height at 96 dpi
  void Assign(const TFont& other) { *this = other; }
  HFONT Create() const;       // a new GDI font; the caller deletes it
};

class TPen {
public:
  TColor Color = clBlack;
  int Width = 1;
  TPenMode Mode = pmCopy;
};

class TBrush {
public:
  TColor Color = clWhite;
  TBrushStyle Style = bsSolid;
};

// Draws on a device context it does not own (a bitmap's memory DC, a window's
// DC). The pen, brush and font are applied before every operation.
class TCanvas {
public:
  explicit TCanvas(HDC dc = nullptr) : dc_(dc) {}
  HDC Handle() const { return dc_; }
  void SetHandle(HDC dc) { dc_ = dc; }

  TPen Pen;
  TBrush Brush;
  TFont Font;

  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Polyline(const std::vector<POINT>& points);
  void Rectangle(int x1, int y1, int x2, int y2);
  void FillRect(const RECT& r);
  void TextOut(int x, int y, const AnsiString& text);
  int TextWidth(const AnsiString& text);
  int TextHeight(const AnsiString& text);
  void Draw(int x, int y, TBitmap& bitmap);
  void StretchDraw(const RECT& dest, TBitmap& bitmap);
  void CopyRect(const RECT& dest, TCanvas& source, const RECT& src);
  void DrawIcon(int x, int y, HICON icon);

private:
  HDC dc_;
};
