// Irecorder's implementation. Calls arrive on the server's single COM
// thread (an STA with a message loop); the capture runs on each session's own
// thread. stop is synchronous: it returns only after the WAV file is closed
// with its final sizes, and sets "ZORBELSTOPEVENT" just before returning, so a
// caller that waits on the event after stop never sees a half-written file.
#include "RecorderObject.h"

#include "SoundSession.h"
#include "ZorbelNames.h"

#include <set>

namespace zorbel {

ServerContext& serverContext() {
  static ServerContext context;
  return context;
}

namespace {

std::set<class Recorder*>& liveObjects() {
  static std::set<Recorder*> objects;
  return objects;
}

// When the last lock goes, COM suspends the class object and the window is
// closed, which ends the message loop.
void releaseServer() {
  if (CoReleaseServerProcess() == 0 && serverContext().window)
    PostMessageW(serverContext().window, WM_CLOSE, 0, 0);
}

class Recorder final : public Irecorder {
public:
  Recorder() {
    CoAddRefServerProcess();
    serverContext().objectCreated = true;
    liveObjects().insert(this);
  }

  void stopRecording() { session_.stop(); }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_Irecorder) {
      *out = static_cast<Irecorder*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) {
      // A client that lets go while recording still gets a finished file.
      session_.stop();
      liveObjects().erase(this);
      delete this;
      releaseServer();
    }
    return ULONG(n);
  }

  // IDispatch, from the type library
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    serverContext().typeInfo->AddRef();
    *info = serverContext().typeInfo;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    return DispGetIDsOfNames(serverContext().typeInfo, names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT* argErr) override {
    return DispInvoke(static_cast<Irecorder*>(this), serverContext().typeInfo, id, flags, params,
                      result, excep, argErr);
  }

  // Irecorder
  HRESULT STDMETHODCALLTYPE stop() override {
    session_.stop();
    // Set even when nothing was recording: the caller waits without limit.
    SetEvent(serverContext().stopEvent);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE start(BSTR wavPath, int rate, int bits) override {
    PcmFormat f;
    f.rate = rate > 0 ? uint32_t(rate) : 0;
    f.bits = bits > 0 && bits <= 32 ? uint16_t(bits) : 0;
    f.channels = 1;  // the program records mono only
    // A start while recording first closes the running file properly.
    startResult_ = session_.start(wavPath, f, serverContext().source);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE get_nowtime(int* value) override {
    if (!value) return E_POINTER;
    *value = session_.nowMs();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_nowtime(int) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE get_startreturn(int* value) override {
    if (!value) return E_POINTER;
    *value = startResult_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_startreturn(int) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE get_yinliangv(int* value) override {
    if (!value) return E_POINTER;
    *value = session_.level();
    return S_OK;
  }

private:
  ~Recorder() = default;

  LONG refs_ = 1;
  int startResult_ = kStartFailed;
  SoundSession session_;
};

class Factory : public IClassFactory {
public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // Static object: COM's references do not decide its life.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    Recorder* r = new Recorder;
    HRESULT hr = r->QueryInterface(riid, out);
    r->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock)
      CoAddRefServerProcess();
    else
      releaseServer();
    return S_OK;
  }
};

}  // namespace

IClassFactory* recorderFactory() {
  static Factory factory;
  return &factory;
}

void stopAllRecordings() {
  for (Recorder* r : liveObjects()) r->stopRecording();
}

}  // namespace zorbel
