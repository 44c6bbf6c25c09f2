// The camera object (see the header): the frame event, and the search for a
// video input device through the system device enumerator.
#include "Camera_win.h"

#include <objbase.h>
#include <oleauto.h>
#include <strmif.h>
#include <uuids.h>

#include "Forms.h"
#include "SysUtils.h"

namespace {
// A device was found, but this build has no capture graph to run it.
const int kNoCaptureGraph = -15;

template <class T>
void release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}
}  // namespace

myshexiangtouclass::myshexiangtouclass(HWND window) : notifyWindow(window) {
  // Auto-reset and signalled: it works as the lock of the frame queue.
  frameEvent_ = CreateEventW(nullptr, FALSE, TRUE, L"SHEXIANGTOUTONGBUEVENT");
}

myshexiangtouclass::~myshexiangtouclass() {
  stop();
  if (frameEvent_) CloseHandle(frameEvent_);
}

int myshexiangtouclass::configure() {
  configured = false;
  ICreateDevEnum* devices = nullptr;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                              reinterpret_cast<void**>(&devices))))
    return -10;
  IEnumMoniker* category = nullptr;
  // S_FALSE: the category has no device at all.
  HRESULT hr = devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &category, 0);
  release(devices);
  if (hr != S_OK || !category) {
    release(category);
    return -1;
  }
  IMoniker* moniker = nullptr;
  bool found = category->Next(1, &moniker, nullptr) == S_OK && moniker;
  int result = found ? kNoCaptureGraph : -1;
  if (found) {
    IPropertyBag* bag = nullptr;
    if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag)))) {
      VARIANT name;
      VariantInit(&name);
      if (SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)) && name.vt == VT_BSTR) deviceName = name.bstrVal;
      VariantClear(&name);
      release(bag);
    }
  }
  release(moniker);
  release(category);
  return result;
}

int myshexiangtouclass::startGraph(int msPerFrame, int mode) {
  if (msPerFrame > 0) framesPerSecond = 1000 / msPerFrame;
  if (!configured) {
    int r = configure();
    if (r == 0 || r == -1) return r;
    if (r != 1) {
      ShowMessage("设置过程出错,错误编号:" + IntToStr(r));
      return 0;
    }
  }
  return kNoCaptureGraph;
}

int myshexiangtouclass::stop() {
  if (!running) return 0;
  running = false;
  return 1;
}

bool myshexiangtouclass::takeFrame(TBitmap*) { return false; }

bool myshexiangtouclass::showProperties() { return false; }
