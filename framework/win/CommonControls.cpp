// Containers, pictures and common controls (msctls_trackbar32,
// msctls_progress32, SysTabControl32, ToolbarWindow32, SysDateTimePick32,
// msctls_statusbar32), the timer and the tray icon.
#include "CommonControls.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "Forms.h"
#include "SysUtils.h"

namespace {
[[noreturn]] void BadValue(const TLayoutValue& v, const AnsiString& what) {
  throw ELayoutError("layout line " + IntToStr(v.line) + ": " + what);
}
TBevelCut BevelCut(const TLayoutValue& v) {
  const AnsiString& s = v.AsIdent();
  if (s == "bvNone") return bvNone;
  if (s == "bvLowered") return bvLowered;
  if (s == "bvRaised") return bvRaised;
  BadValue(v, "unknown bevel " + s);
}
const UINT kImageRepaint = WM_APP + 7;
}  // namespace

// --- panel, bevel, shape ----------------------------------------------------------------
TPanel::TPanel(TComponent* AOwner) : TControl(AOwner) { width_ = 185; height_ = 41; }
void TPanel::CreateParams(Params& p) { TControl::CreateParams(p); }
void TPanel::Paint(HDC dc) {
  RECT r;
  GetClientRect(hwnd_, &r);
  if (bevelOuter_ != bvNone) DrawEdge(dc, &r, bevelOuter_ == bvRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT);
  if (!caption_.IsEmpty()) {
    HGDIOBJ old = SelectObject(dc, hfont_);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, font_.Color);
    DrawTextW(dc, Cp936ToWide(caption_).c_str(), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, old);
  }
}
bool TPanel::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  if (n == "BevelOuter") bevelOuter_ = BevelCut(v);
  else if (n == "BevelInner" || n == "BorderStyle" || n == "BevelWidth") {}
  else if (n == "Caption") { caption_ = v.AsString(); Invalidate(); }
  else return TControl::SetProperty(n, v);
  return true;
}

TBevel::TBevel(TComponent* AOwner) : TControl(AOwner) { width_ = 50; height_ = 50; }
void TBevel::CreateParams(Params& p) {
  TControl::CreateParams(p);
  p.exStyle = WS_EX_TRANSPARENT;
}
void TBevel::Paint(HDC dc) {
  RECT r;
  GetClientRect(hwnd_, &r);
  UINT edge = style_ == bvRaised ? EDGE_RAISED : EDGE_ETCHED;
  switch (shape_) {
    case bsTopLine: DrawEdge(dc, &r, edge, BF_TOP); break;
    case bsBottomLine: DrawEdge(dc, &r, edge, BF_BOTTOM); break;
    default: DrawEdge(dc, &r, edge, BF_RECT); break;
  }
}
bool TBevel::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  if (n == "Shape") {
    const AnsiString& s = v.AsIdent();
    if (s == "bsBox") shape_ = bsBox;
    else if (s == "bsFrame") shape_ = bsFrame;
    else if (s == "bsTopLine") shape_ = bsTopLine;
    else if (s == "bsBottomLine") shape_ = bsBottomLine;
    else BadValue(v, "unknown bevel shape " + s);
  } else if (n == "Style") style_ = v.AsIdent() == "bsRaised" ? bvRaised : bvLowered;
  else return TControl::SetProperty(n, v);
  return true;
}

TShape::TShape(TComponent* AOwner) : TControl(AOwner) { width_ = 65; height_ = 65; }
void TShape::CreateParams(Params& p) { TControl::CreateParams(p); }
void TShape::Paint(HDC dc) {
  RECT r;
  GetClientRect(hwnd_, &r);
  HPEN pen = CreatePen(PS_SOLID, pen_.Width, pen_.Color);
  HBRUSH brush = brush_.Style == bsClear ? static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)) : CreateSolidBrush(brush_.Color);
  HGDIOBJ op = SelectObject(dc, pen), ob = SelectObject(dc, brush);
  ::Rectangle(dc, r.left, r.top, r.right, r.bottom);
  SelectObject(dc, op);
  SelectObject(dc, ob);
  DeleteObject(pen);
  if (brush_.Style != bsClear) DeleteObject(brush);
}
bool TShape::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  if (n == "Brush.Color") brush_.Color = LayoutColor(v);
  else if (n == "Pen.Color") pen_.Color = LayoutColor(v);
  else if (n == "Pen.Width") pen_.Width = v.AsInt();
  else if (n == "Shape") { if (v.AsIdent() != "stRectangle") BadValue(v, "only stRectangle shapes"); }
  else return TControl::SetProperty(n, v);
  return true;
}

// --- image -----------------------------------------------------------------------------------
TBitmap* TPicture::Bitmap() {
  if (!bitmap_) bitmap_.reset(new TBitmap());
  return bitmap_.get();
}

TImage::TImage(TComponent* AOwner) : TControl(AOwner) { width_ = 105; height_ = 105; }
void TImage::CreateParams(Params& p) { TControl::CreateParams(p); }
TCanvas* TImage::Canvas() {
  TBitmap* b = picture_.Bitmap();
  if (b->Empty()) {
    b->SetPixelFormat(pf24bit);
    b->SetSize(std::max(1, width_), std::max(1, height_));
  }
  // Whatever is drawn shows once the current message has been handled.
  if (hwnd_ && !repaintPosted_) {
    repaintPosted_ = true;
    PostMessageW(hwnd_, kImageRepaint, 0, 0);
  }
  return b->Canvas();
}
void TImage::WndProc(TMessage& m) {
  if (m.Msg == kImageRepaint) {
    repaintPosted_ = false;
    InvalidateRect(hwnd_, nullptr, FALSE);
    return;
  }
  if (m.Msg == WM_ERASEBKGND && picture_.HasBitmap() && !picture_.Bitmap()->Empty() && stretch_) {
    m.Result = 1;
    return;
  }
  TControl::WndProc(m);
}
void TImage::Paint(HDC dc) {
  if (!picture_.HasBitmap() || picture_.Bitmap()->Empty()) return;
  TBitmap* b = picture_.Bitmap();
  HDC src = static_cast<HDC>(b->DC());
  if (!src) return;
  RECT r;
  GetClientRect(hwnd_, &r);
  if (stretch_) {
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, 0, 0, r.right, r.bottom, src, 0, 0, b->Width(), b->Height(), SRCCOPY);
  } else {
    int x = center_ ? (r.right - b->Width()) / 2 : 0, y = center_ ? (r.bottom - b->Height()) / 2 : 0;
    BitBlt(dc, x, y, b->Width(), b->Height(), src, 0, 0, SRCCOPY);
  }
}
bool TImage::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  if (n == "Stretch") stretch_ = v.AsBool();
  else if (n == "Center") center_ = v.AsBool();
  else if (n == "Transparent" || n == "AutoSize" || n == "Proportional") {}
  else return TControl::SetProperty(n, v);
  return true;
}

// --- scroll box ----------------------------------------------------------------------------------
TScrollBox::TScrollBox(TComponent* AOwner) : TControl(AOwner) { width_ = 185; height_ = 41; }
void TScrollBox::CreateParams(Params& p) {
  TControl::CreateParams(p);
  p.style |= WS_HSCROLL | WS_VSCROLL;
  p.exStyle = WS_EX_CLIENTEDGE;
}
void TScrollBox::UpdateScrollRange() {
  if (!hwnd_) return;
  int right = 0, bottom = 0;
  for (TControl* c : controls_) {
    if (!c->Visible()) continue;
    right = std::max(right, c->Left() + c->Width() + scrollX_);
    bottom = std::max(bottom, c->Top() + c->Height() + scrollY_);
  }
  RECT r;
  GetClientRect(hwnd_, &r);
  SCROLLINFO si = {sizeof(si), SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, 0, 0, 0, 0, 0};
  si.nMax = right > 0 ? right - 1 : 0;
  si.nPage = static_cast<UINT>(r.right);
  si.nPos = scrollX_;
  SetScrollInfo(hwnd_, SB_HORZ, &si, TRUE);
  si.nMax = bottom > 0 ? bottom - 1 : 0;
  si.nPage = static_cast<UINT>(r.bottom);
  si.nPos = scrollY_;
  SetScrollInfo(hwnd_, SB_VERT, &si, TRUE);
  int maxX = std::max(0, right - static_cast<int>(r.right)), maxY = std::max(0, bottom - static_cast<int>(r.bottom));
  if (scrollX_ > maxX || scrollY_ > maxY) ScrollTo(std::min(scrollX_, maxX), std::min(scrollY_, maxY));
}
void TScrollBox::ScrollTo(int x, int y) {
  x = std::max(0, x);
  y = std::max(0, y);
  int dx = scrollX_ - x, dy = scrollY_ - y;
  if (dx == 0 && dy == 0) return;
  scrollX_ = x;
  scrollY_ = y;
  for (TControl* c : controls_) {
    c->left_ += dx;
    c->top_ += dy;
  }
  if (hwnd_) {
    ScrollWindowEx(hwnd_, dx, dy, nullptr, nullptr, nullptr, nullptr, SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
    SetScrollPos(hwnd_, SB_HORZ, scrollX_, TRUE);
    SetScrollPos(hwnd_, SB_VERT, scrollY_, TRUE);
  }
}
void TScrollBox::WndProc(TMessage& m) {
  if ((m.Msg == WM_HSCROLL || m.Msg == WM_VSCROLL) && m.LParam == 0) {
    int bar = m.Msg == WM_HSCROLL ? SB_HORZ : SB_VERT;
    SCROLLINFO si = {sizeof(si), SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(hwnd_, bar, &si);
    int pos = si.nPos;
    switch (LOWORD(m.WParam)) {
      case SB_LINEUP: pos -= 16; break;
      case SB_LINEDOWN: pos += 16; break;
      case SB_PAGEUP: pos -= static_cast<int>(si.nPage); break;
      case SB_PAGEDOWN: pos += static_cast<int>(si.nPage); break;
      case SB_THUMBTRACK:
      case SB_THUMBPOSITION: pos = si.nTrackPos; break;
      case SB_TOP: pos = 0; break;
      case SB_BOTTOM: pos = si.nMax; break;
    }
    pos = std::max(0, std::min(pos, si.nMax - static_cast<int>(si.nPage) + 1));
    if (bar == SB_HORZ) ScrollTo(pos, scrollY_);
    else ScrollTo(scrollX_, pos);
    m.Result = 0;
    return;
  }
  TControl::WndProc(m);
}

// --- page control --------------------------------------------------------------------------------
TTabSheet::TTabSheet(TComponent* AOwner) : TControl(AOwner) { visible_ = false; }
void TTabSheet::CreateParams(Params& p) { TControl::CreateParams(p); }
void TTabSheet::SetPageControl(TPageControl* pc) {
  if (pageControl_ == pc) return;
  if (pageControl_) pageControl_->RemovePage(this);
  pageControl_ = pc;
  if (pc) pc->InsertPage(this);
}
int TTabSheet::PageIndex() const {
  if (!pageControl_) return -1;
  for (int i = 0; i < pageControl_->PageCount(); ++i)
    if (pageControl_->Pages(i) == this) return i;
  return -1;
}
void TTabSheet::SetCaption(const AnsiString& text) {
  caption_ = text;
  if (pageControl_ && pageControl_->HandleAllocated()) {
    std::wstring w = Cp936ToWide(text);
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = &w[0];
    SendMessageW(pageControl_->Handle(), TCM_SETITEMW, PageIndex(), reinterpret_cast<LPARAM>(&item));
  }
}

TPageControl::TPageControl(TComponent* AOwner) : TControl(AOwner) { width_ = 289; height_ = 193; }
void TPageControl::CreateParams(Params& p) {
  p.className = WC_TABCONTROLW;
  p.style = WS_CHILD | WS_TABSTOP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
}
void TPageControl::InitWindow() {
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    std::wstring w = Cp936ToWide(pages_[i]->caption_);
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = &w[0];
    SendMessageW(hwnd_, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
  ShowActive();
}
void TPageControl::InsertPage(TTabSheet* page) {
  pages_.push_back(page);
  page->SetParent(this);
  if (hwnd_) {
    std::wstring w = Cp936ToWide(page->caption_);
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = &w[0];
    SendMessageW(hwnd_, TCM_INSERTITEMW, pages_.size() - 1, reinterpret_cast<LPARAM>(&item));
  }
  if (active_ < 0) active_ = 0;
  ShowActive();
}
void TPageControl::RemovePage(TTabSheet* page) {
  auto it = std::find(pages_.begin(), pages_.end(), page);
  if (it == pages_.end()) return;
  int i = static_cast<int>(it - pages_.begin());
  pages_.erase(it);
  if (hwnd_) SendMessageW(hwnd_, TCM_DELETEITEM, i, 0);
  if (active_ >= PageCount()) active_ = PageCount() - 1;
  ShowActive();
}
void TPageControl::PlacePages() {
  if (!hwnd_) return;
  RECT r;
  GetClientRect(hwnd_, &r);
  TabCtrl_AdjustRect(hwnd_, FALSE, &r);
  for (TTabSheet* p : pages_) p->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
}
void TPageControl::ShowActive() {
  if (hwnd_) {
    SendMessageW(hwnd_, TCM_SETCURSEL, active_, 0);
    PlacePages();
  }
  for (int i = 0; i < PageCount(); ++i) pages_[i]->SetVisible(i == active_);
}
void TPageControl::SetActivePageIndex(int i) {
  if (i < -1 || i >= PageCount()) return;
  active_ = i;
  ShowActive();
}
void TPageControl::SetActivePage(TTabSheet* page) {
  auto it = std::find(pages_.begin(), pages_.end(), page);
  if (it != pages_.end()) SetActivePageIndex(static_cast<int>(it - pages_.begin()));
}
void TPageControl::Notify(NMHDR* hdr, TMessage& m) {
  if (hdr->code == TCN_SELCHANGING) {
    bool allow = true;
    if (OnChanging) OnChanging(this, allow);
    m.Result = allow ? FALSE : TRUE;  // TRUE keeps the tab
  } else if (hdr->code == TCN_SELCHANGE) {
    active_ = static_cast<int>(SendMessageW(hwnd_, TCM_GETCURSEL, 0, 0));
    ShowActive();
    if (OnChange) OnChange(this);
  }
}
bool TPageControl::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  if (n == "ActivePage") refs_["ActivePage"] = v.AsIdent();
  else if (n == "ActivePageIndex") refs_["ActivePageIndex"] = IntToStr(v.AsInt());
  else return TControl::SetProperty(n, v);
  return true;
}
bool TPageControl::BindEvent(const AnsiString& n, const THandlerRef& h) {
  if (n == "OnChanging") return Take(n, h, OnChanging);
  if (n == "OnChange") return Take(n, h, OnChange);
  return TControl::BindEvent(n, h);
}
bool TPageControl::AdoptChild(TComponent* child) {
  if (TTabSheet* s = dynamic_cast<TTabSheet*>(child)) {
    s->SetPageControl(this);
    return true;
  }
  return false;
}
void TPageControl::Loaded() {
  TControl::Loaded();
  auto a = refs_.find("ActivePage");
  if (a != refs_.end()) {
    for (TTabSheet* p : pages_)
      if (p->Name() == a->second) { SetActivePage(p); return; }
    throw ELayoutError(Name() + ": no page named " + a->second);
  }
  auto i = refs_.find("ActivePageIndex");
  if (i != refs_.end()) SetActivePageIndex(StrToInt(i->second));
}

// --- track bar, progress bar ----------------------------------------------------------------------
TTrackBar::TTrackBar(TComponent* AOwner) : TControl(AOwner) { width_ = 150; height_ = 45; }
void TTrackBar::CreateParams(Params& p) {
  p.className = TRACKBAR_CLASSW;
  p.style = WS_CHILD | WS_TABSTOP | TBS_AUTOTICKS | TBS_ENABLESELRANGE |
            (orientation_ == trVertical ? TBS_VERT : TBS_HORZ);
}
void TTrackBar::InitWindow() {
  SendMessageW(hwnd_, TBM_SETRANGEMIN, FALSE, min_);
  SendMessageW(hwnd_, TBM_SETRANGEMAX, FALSE, max_);
  SendMessageW(hwnd_, TBM_SETTICFREQ, frequency_, 0);
  SendMessageW(hwnd_, TBM_SETSELSTART, FALSE, selStart_);
  SendMessageW(hwnd_, TBM_SETSELEND, FALSE, selEnd_);
  SendMessageW(hwnd_, TBM_SETPOS, TRUE, position_);
}
int TTrackBar::Position() { return position_; }
void TTrackBar::SetMin(int v) {
  min_ = v;
  if (hwnd_) SendMessageW(hwnd_, TBM_SETRANGEMIN, TRUE, v);
  if (position_ < v) SetPosition(v);
}
void TTrackBar::SetMax(int v) {
  max_ = v;
  if (hwnd_) SendMessageW(hwnd_, TBM_SETRANGEMAX, TRUE, v);
  if (position_ > v) SetPosition(v);
}
void TTrackBar::SetPosition(int v) {
  v = std::min(std::max(v, min_), std::max(min_, max_));
  if (v == position_) return;
  position_ = v;
  if (hwnd_) SendMessageW(hwnd_, TBM_SETPOS, TRUE, v);
  if (OnChange) OnChange(this);
}
void TTrackBar::SetSelStart(int v) {
  selStart_ = v;
  if (hwnd_) SendMessageW(hwnd_, TBM_SETSELSTART, TRUE, v);
}
void TTrackBar::SetSelEnd(int v) {
  selEnd_ = v;
  if (hwnd_) SendMessageW(hwnd_, TBM_SETSELEND, TRUE, v);
}
void TTrackBar::SetFrequency(int v) {
  frequency_ = v;
  if (hwnd_) SendMessageW(hwnd_, TBM_SETTICFREQ, v, 0);
}
void TTrackBar::Scrolled(TMessage&) {
  int pos = static_cast<int>(SendMessageW(hwnd_, TBM_GETPOS, 0, 0));
  if (pos == position_) return;
  position_ = pos;
  if (OnChange) OnChange(this);
}
bool TTrackBar::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  if (n == "Min") min_ = v.AsInt();
  else if (n == "Max") max_ = v.AsInt();
  else if (n == "Position") position_ = v.AsInt();
  else if (n == "SelStart") selStart_ = v.AsInt();
  else if (n == "SelEnd") selEnd_ = v.AsInt();
  else if (n == "Frequency") frequency_ = v.AsInt();
  else if (n == "Orientation") {
    const AnsiString& o = v.AsIdent();
    if (o != "trHorizontal" && o != "trVertical") BadValue(v, "unknown orientation " + o);
    orientation_ = o == "trVertical" ? trVertical : trHorizontal;
  } else if (n == "TickStyle" || n == "TickMarks" || n == "PageSize" || n == "LineSize") {}
  else return TControl::SetProperty(n, v);
  return true;
}
bool TTrackBar::BindEvent(const AnsiString& n, const THandlerRef& h) {
  if (n == "OnChange") return Take(n, h, OnChange);
  return TControl::BindEvent(n, h);
}

TProgressBar::TProgressBar(TComponent* AOwner) : TControl(AOwner) { width_ = 150; height_ = 17; }
void TProgressBar::CreateParams(Params& p) {
  p.className = PROGRESS_CLASSW;
  p.style = WS_CHILD | PBS_SMOOTH;
}
void TProgressBar::InitWindow() {
  SendMessageW(hwnd_, PBM_SETRANGE32, min_, max_);
  SendMessageW(hwnd_, PBM_SETPOS, position_, 0);
}
int TProgressBar::Position() { return position_; }
void TProgressBar::SetMin(int v) {
  min_ = v;
  if (hwnd_) InitWindow();
}
void TProgressBar::SetMax(int v) {
  max_ = v;
  if (hwnd_) InitWindow();
}
void TProgressBar::SetPosition(int v) {
  position_ = std::min(std::max(v, min_), std::max(min_, max_));
  if (hwnd_) SendMessageW(hwnd_, PBM_SETPOS, position_, 0);
}
bool TProgressBar::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  if (n == "Min") min_ = v.AsInt();
  else if (n == "Max") max_ = v.AsInt();
  else if (n == "Position") position_ = v.AsInt();
  else if (n == "Smooth" || n == "Step") {}
  else return TControl::SetProperty(n, v);
  return true;
}

// --- tool bar --------------------------------------------------------------------------------------
namespace {
std::map<int, TToolButton*>& ToolButtons() {
  static std::map<int, TToolButton*> m;
  return m;
}
int g_nextToolId = 0x6000;
void ForgetToolButton(int id) { ToolButtons().erase(id); }
}  // namespace

TToolButton::TToolButton(TComponent* AOwner) : TControl(AOwner), id_(g_nextToolId++) { ToolButtons()[id_] = this; }
TToolButton::~TToolButton() {
  ForgetToolButton(id_);
  if (TToolBar* b = Bar()) b->RemoveButton(this);
  parent_ = nullptr;
}
TToolBar* TToolButton::Bar() const { return dynamic_cast<TToolBar*>(parent_); }
bool TToolButton::Down() {
  if (TToolBar* b = Bar())
    if (b->HandleAllocated()) down_ = SendMessageW(b->Handle(), TB_ISBUTTONCHECKED, id_, 0) != 0;
  return down_;
}
void TToolButton::SetDown(bool on) {
  down_ = on;
  if (TToolBar* b = Bar()) b->ButtonChanged(this);
}
void TToolButton::SetEnabled(bool on) {
  enabled_ = on;
  if (TToolBar* b = Bar()) b->ButtonChanged(this);
}
void TToolButton::SetCaption(const AnsiString& text) {
  caption_ = text;
  if (TToolBar* b = Bar()) b->ButtonChanged(this);
}
void TToolButton::SetVisible(bool on) {
  visible_ = on;
  if (TToolBar* b = Bar()) b->ButtonChanged(this);
}
bool TToolButton::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  if (n == "Style") {
    const AnsiString& s = v.AsIdent();
    if (s == "tbsButton") style_ = tbsButton;
    else if (s == "tbsCheck") style_ = tbsCheck;
    else if (s == "tbsSeparator" || s == "tbsDivider") style_ = tbsSeparator;
    else BadValue(v, "unknown tool button style " + s);
  } else if (n == "ImageIndex") imageIndex_ = v.AsInt();
  else if (n == "Down") down_ = v.AsBool();
  else if (n == "Caption") caption_ = v.AsString();
  else if (n == "Enabled") enabled_ = v.AsBool();
  else if (n == "Visible") visible_ = v.AsBool();
  else return TControl::SetProperty(n, v);
  return true;
}

TToolBar::TToolBar(TComponent* AOwner) : TControl(AOwner) {
  align_ = alTop;
  height_ = 29;
}
TToolBar::~TToolBar() {
  for (TToolButton* b : buttons_) b->parent_ = nullptr;
  buttons_.clear();
}
void TToolBar::CreateParams(Params& p) {
  p.className = TOOLBARCLASSNAMEW;
  p.style = WS_CHILD | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | TBSTYLE_LIST | CCS_NORESIZE | CCS_NODIVIDER | CCS_NOPARENTALIGN;
}
void TToolBar::InitWindow() {
  SendMessageW(hwnd_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageW(hwnd_, TB_SETBITMAPSIZE, 0, MAKELONG(0, 0));
  for (TToolButton* b : buttons_) {
    std::wstring text = Cp936ToWide(b->caption_.IsEmpty() ? b->hint_ : b->caption_);
    TBBUTTON tb = {};
    tb.iBitmap = I_IMAGENONE;
    tb.idCommand = b->id_;
    tb.fsState = static_cast<BYTE>((b->enabled_ ? TBSTATE_ENABLED : 0) | (b->down_ ? TBSTATE_CHECKED : 0) |
                                   (b->visible_ ? 0 : TBSTATE_HIDDEN));
    tb.fsStyle = static_cast<BYTE>(b->style_ == tbsSeparator ? BTNS_SEP : b->style_ == tbsCheck ? BTNS_CHECK : BTNS_BUTTON);
    tb.fsStyle |= BTNS_AUTOSIZE;
    tb.iString = b->style_ == tbsSeparator ? 0 : reinterpret_cast<INT_PTR>(text.c_str());
    SendMessageW(hwnd_, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&tb));
  }
}
bool TToolBar::AdoptChild(TComponent* child) {
  TToolButton* b = dynamic_cast<TToolButton*>(child);
  if (!b) return TControl::AdoptChild(child);
  b->parent_ = this;  // not a window: the tool bar draws it
  buttons_.push_back(b);
  if (hwnd_) {
    // Rebuild all buttons; tool bars change rarely.
    while (SendMessageW(hwnd_, TB_BUTTONCOUNT, 0, 0) > 0) SendMessageW(hwnd_, TB_DELETEBUTTON, 0, 0);
    InitWindow();
  }
  return true;
}
void TToolBar::RemoveButton(TToolButton* b) { buttons_.erase(std::remove(buttons_.begin(), buttons_.end(), b), buttons_.end()); }
void TToolBar::ButtonChanged(TToolButton* b) {
  if (!hwnd_) return;
  SendMessageW(hwnd_, TB_ENABLEBUTTON, b->id_, b->enabled_);
  SendMessageW(hwnd_, TB_CHECKBUTTON, b->id_, b->down_);
  SendMessageW(hwnd_, TB_HIDEBUTTON, b->id_, !b->visible_);
  std::wstring text = Cp936ToWide(b->caption_.IsEmpty() ? b->hint_ : b->caption_);
  TBBUTTONINFOW info = {};
  info.cbSize = sizeof(info);
  info.dwMask = TBIF_TEXT;
  info.pszText = &text[0];
  SendMessageW(hwnd_, TB_SETBUTTONINFOW, b->id_, reinterpret_cast<LPARAM>(&info));
}
void TToolBar::WndProc(TMessage& m) {
  TControl::WndProc(m);
}
void TToolBar::Notify(NMHDR* hdr, TMessage& m) {}

// A tool button is no window: its clicks arrive as WM_COMMAND with its id,
// and the tips ask the parent for text by id. Forms route both here.
bool ToolButtonCommand(int id) {
  auto it = ToolButtons().find(id);
  if (it == ToolButtons().end()) return false;
  TToolButton* b = it->second;
  if (b->Style() == tbsCheck) b->Down();
  b->Click();
  return true;
}
bool ToolButtonTip(NMHDR* hdr) {
  if (hdr->code != TTN_GETDISPINFOW) return false;
  auto it = ToolButtons().find(static_cast<int>(hdr->idFrom));
  if (it == ToolButtons().end()) return false;
  static std::wstring tip;
  tip = Cp936ToWide(it->second->Hint());
  reinterpret_cast<NMTTDISPINFOW*>(hdr)->lpszText = &tip[0];
  return true;
}

// --- date/time picker ------------------------------------------------------------------------------
SYSTEMTIME DateTimeToSystemTime(TDateTime t) {
  // Day 0 is 1899-12-30; the civil-from-days conversion of the proleptic calendar.
  long long days = static_cast<long long>(std::floor(t));
  double frac = t - static_cast<double>(days);
  long long ms = static_cast<long long>(std::llround(frac * 86400000.0));
  if (ms >= 86400000) { ms -= 86400000; ++days; }
  long long z = days - 25569 + 719468;  // to days since 1970-01-01, shifted to 0000-03-01
  long long era = (z >= 0 ? z : z - 146096) / 146097;
  long long doe = z - era * 146097;
  long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long y = yoe + era * 400;
  long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long long mp = (5 * doy + 2) / 153;
  long long d = doy - (153 * mp + 2) / 5 + 1;
  long long m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
  SYSTEMTIME st = {};
  st.wYear = static_cast<WORD>(y);
  st.wMonth = static_cast<WORD>(m);
  st.wDay = static_cast<WORD>(d);
  st.wDayOfWeek = static_cast<WORD>(((days - 1) % 7 + 7) % 7);  // 1899-12-30 was a Saturday
  st.wHour = static_cast<WORD>(ms / 3600000);
  st.wMinute = static_cast<WORD>(ms / 60000 % 60);
  st.wSecond = static_cast<WORD>(ms / 1000 % 60);
  st.wMilliseconds = static_cast<WORD>(ms % 1000);
  return st;
}
TDateTime SystemTimeToDateTime(const SYSTEMTIME& st) {
  long long y = st.wYear, m = st.wMonth, d = st.wDay;
  y -= m <= 2;
  long long era = (y >= 0 ? y : y - 399) / 400;
  long long yoe = y - era * 400;
  long long doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  long long days = era * 146097 + doe - 719468 + 25569;
  return static_cast<double>(days) +
         (st.wHour * 3600000.0 + st.wMinute * 60000.0 + st.wSecond * 1000.0 + st.wMilliseconds) / 86400000.0;
}
TDateTime Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return SystemTimeToDateTime(st);
}

TDateTimePicker::TDateTimePicker(TComponent* AOwner) : TControl(AOwner) {
  width_ = 186;
  height_ = 21;
  value_ = Now();
}
void TDateTimePicker::CreateParams(Params& p) {
  p.className = DATETIMEPICK_CLASSW;
  p.style = WS_CHILD | WS_TABSTOP | (kind_ == dtkTime ? DTS_TIMEFORMAT : DTS_SHORTDATEFORMAT);
}
void TDateTimePicker::InitWindow() {
  SYSTEMTIME st = DateTimeToSystemTime(value_);
  SendMessageW(hwnd_, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
}
TDateTime TDateTimePicker::DateTime() {
  if (hwnd_) {
    SYSTEMTIME st;
    if (SendMessageW(hwnd_, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)) == GDT_VALID)
      value_ = SystemTimeToDateTime(st);
  }
  return value_;
}
TDateTime TDateTimePicker::Time() {
  TDateTime t = DateTime();
  return t - std::floor(t);
}
void TDateTimePicker::SetDateTime(TDateTime t) {
  value_ = t;
  if (hwnd_) InitWindow();
}
void TDateTimePicker::Notify(NMHDR* hdr, TMessage&) {
  if (hdr->code == DTN_DATETIMECHANGE) {
    DateTime();
    if (OnChange) OnChange(this);
  }
}
bool TDateTimePicker::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  if (n == "Kind") {
    const AnsiString& k = v.AsIdent();
    if (k != "dtkDate" && k != "dtkTime") BadValue(v, "unknown picker kind " + k);
    kind_ = k == "dtkTime" ? dtkTime : dtkDate;
  } else if (n == "Date" || n == "Time") {
    // "2009-05-01" or "12:30:00": design-time values.
    AnsiString s = v.AsString();
    SYSTEMTIME st = DateTimeToSystemTime(value_);
    int a = 0, b = 0, c = 0;
    if (n == "Date" && sscanf(s.c_str(), "%d-%d-%d", &a, &b, &c) == 3) {
      st.wYear = static_cast<WORD>(a); st.wMonth = static_cast<WORD>(b); st.wDay = static_cast<WORD>(c);
    } else if (n == "Time" && sscanf(s.c_str(), "%d:%d:%d", &a, &b, &c) == 3) {
      st.wHour = static_cast<WORD>(a); st.wMinute = static_cast<WORD>(b); st.wSecond = static_cast<WORD>(c);
    } else {
      BadValue(v, "bad " + n + " " + s);
    }
    value_ = SystemTimeToDateTime(st);
  } else return TControl::SetProperty(n, v);
  return true;
}
bool TDateTimePicker::BindEvent(const AnsiString& n, const THandlerRef& h) {
  if (n == "OnChange") return Take(n, h, OnChange);
  return TControl::BindEvent(n, h);
}

TStatusBar::TStatusBar(TComponent* AOwner) : TControl(AOwner) {
  align_ = alBottom;
  height_ = 19;
}
void TStatusBar::CreateParams(Params& p) {
  p.className = STATUSCLASSNAMEW;
  p.style = WS_CHILD | CCS_NORESIZE | CCS_NOPARENTALIGN | SBARS_SIZEGRIP;
}

// --- timer -------------------------------------------------------------------------------------------
namespace {
std::map<UINT_PTR, TTimer*>& Timers() {
  static std::map<UINT_PTR, TTimer*> m;
  return m;
}
UINT_PTR g_nextTimer = 1;
}  // namespace

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {}
TTimer::~TTimer() {
  if (id_) {
    KillTimer(Application->Handle(), id_);
    Timers().erase(id_);
  }
}
void TTimer::Restart() {
  loading_ = false;
  if (id_) {
    KillTimer(Application->Handle(), id_);
    Timers().erase(id_);
    id_ = 0;
  }
  if (enabled_ && interval_ > 0 && OnTimer) {
    id_ = g_nextTimer++;
    Timers()[id_] = this;
    SetTimer(Application->Handle(), id_, interval_, nullptr);
  }
}
void TTimer::SetEnabled(bool on) {
  enabled_ = on;
  if (!loading_) Restart();
}
void TTimer::SetInterval(unsigned ms) {
  interval_ = ms;
  if (!loading_) Restart();
}
void TTimer::Fire(UINT_PTR id) {
  auto it = Timers().find(id);
  if (it != Timers().end() && it->second->OnTimer) it->second->OnTimer(it->second);
}
bool TTimer::SetProperty(const AnsiString& n, const TLayoutValue& v) {
  if (n == "Enabled") enabled_ = v.AsBool();
  else if (n == "Interval") interval_ = static_cast<unsigned>(v.AsInt());
  else return TComponent::SetProperty(n, v);
  return true;
}
bool TTimer::BindEvent(const AnsiString& n, const THandlerRef& h) {
  if (n == "OnTimer") return Take(n, h, OnTimer);
  return TComponent::BindEvent(n, h);
}

// --- tray icon ----------------------------------------------------------------------------------------
bool TTrayIcon::Call(DWORD op, HICON icon, const AnsiString& tip) {
  NOTIFYICONDATAW nid = {};
  nid.cbSize = NOTIFYICONDATAW_V2_SIZE;
  nid.hWnd = hwnd_;
  nid.uID = id_;
  nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  nid.uCallbackMessage = msg_;
  nid.hIcon = icon;
  std::wstring w = Cp936ToWide(tip);
  wcsncpy(nid.szTip, w.c_str(), sizeof(nid.szTip) / sizeof(wchar_t) - 1);
  return Shell_NotifyIconW(op, &nid) != FALSE;
}
bool TTrayIcon::Add(HICON icon, const AnsiString& tip) {
  shown_ = Call(NIM_ADD, icon, tip);
  return shown_;
}
bool TTrayIcon::Modify(HICON icon, const AnsiString& tip) { return shown_ && Call(NIM_MODIFY, icon, tip); }
bool TTrayIcon::Remove() {
  if (!shown_) return false;
  shown_ = false;
  return Call(NIM_DELETE, nullptr, "");
}
