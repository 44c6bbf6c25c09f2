// The record-video overlay (see the header). DirectDraw is loaded at run time
// so that the program starts where it is missing.
#include "Overlay_win.h"

namespace {
typedef HRESULT(WINAPI* DirectDrawCreateProc)(GUID*, IDirectDraw**, IUnknown*);

template <class T>
void release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}
}  // namespace

ddoverlayclass::ddoverlayclass(HWND w) : window(w) {}

ddoverlayclass::~ddoverlayclass() {
  if (overlaySurface) hide();
  release(backBuffer);  // the reference GetAttachedSurface gave
  release(overlaySurface);
  release(primarySurface);
  release(directDraw);
  if (library) FreeLibrary(library);
}

int ddoverlayclass::loadDirectDraw() {
  library = LoadLibraryW(L"ddraw.dll");
  if (!library) return -1;
  auto create = reinterpret_cast<DirectDrawCreateProc>(
      reinterpret_cast<void*>(GetProcAddress(library, "DirectDrawCreate")));
  if (!create) return -2;
  if (create(nullptr, &directDraw, nullptr) != DD_OK || !directDraw) return -3;
  if (directDraw->SetCooperativeLevel(window, DDSCL_NORMAL) != DD_OK) return -4;
  return 1;
}

int ddoverlayclass::canStretchOverlay() {
  if (!directDraw) return 0;
  caps = DDCAPS();
  caps.dwSize = sizeof caps;
  directDraw->GetCaps(&caps, nullptr);
  return (caps.dwCaps & DDCAPS_OVERLAY) && (caps.dwCaps & DDCAPS_OVERLAYSTRETCH) ? 1 : 0;
}

int ddoverlayclass::createPrimarySurface() {
  if (!directDraw) return 0;
  DDSURFACEDESC d = {};
  d.dwSize = sizeof d;
  d.dwFlags = DDSD_CAPS;
  d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  return directDraw->CreateSurface(&d, &primarySurface, nullptr) == DD_OK ? 1 : -1;
}

int ddoverlayclass::createOverlaySurface(int width, unsigned height) {
  if (!directDraw) return 0;
  const int w = width / 2 * 2;
  surfaceDesc = DDSURFACEDESC();
  surfaceDesc.dwSize = sizeof surfaceDesc;
  surfaceDesc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_BACKBUFFERCOUNT | DDSD_PIXELFORMAT;
  surfaceDesc.dwHeight = height;
  surfaceDesc.dwWidth = static_cast<DWORD>(w);
  surfaceDesc.dwBackBufferCount = 1;
  surfaceDesc.ddsCaps.dwCaps = DDSCAPS_OVERLAY | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;
  DDPIXELFORMAT& pf = surfaceDesc.ddpfPixelFormat;
  pf.dwSize = sizeof pf;
  pf.dwFlags = DDPF_RGB;
  pf.dwRGBBitCount = 16;
  pf.dwRBitMask = 0xF800;
  pf.dwGBitMask = 0x07E0;
  pf.dwBBitMask = 0x001F;
  yuvMode = 0;
  if (directDraw->CreateSurface(&surfaceDesc, &overlaySurface, nullptr) != DD_OK) {
    pf = DDPIXELFORMAT();
    pf.dwSize = sizeof pf;
    pf.dwFlags = DDPF_FOURCC | DDPF_YUV;
    pf.dwFourCC = MAKEFOURCC('Y', 'U', 'Y', '2');
    if (directDraw->CreateSurface(&surfaceDesc, &overlaySurface, nullptr) != DD_OK) return -1;
    yuvMode = 1;
  }
  HRESULT hr;
  do {
    hr = overlaySurface->Lock(nullptr, &surfaceDesc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr);
  } while (hr == DDERR_WASSTILLDRAWING);
  if (hr != DD_OK) return -3;
  pitch = surfaceDesc.lPitch;
  overlaySurface->Unlock(nullptr);
  DDSCAPS back = {DDSCAPS_BACKBUFFER};
  if (overlaySurface->GetAttachedSurface(&back, &backBuffer) != DD_OK) return -2;
  sourceRect = RECT{0, 0, w, static_cast<LONG>(height)};
  return 1;
}

void ddoverlayclass::hide() {
  if (overlaySurface && primarySurface) overlaySurface->UpdateOverlay(nullptr, primarySurface, nullptr, DDOVER_HIDE, nullptr);
}
