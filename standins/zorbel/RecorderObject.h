// The COM object behind Irecorder: one sound session per object, the
// IDispatch side served from the embedded type library, and the server's
// lifetime tied to the objects alive (CoAddRefServerProcess).
#pragma once

#include "Irecorder.h"
#include "SoundSources.h"

namespace zorbel {

struct ServerContext {
  ITypeInfo* typeInfo = nullptr;  // Irecorder's, for DispInvoke
  HANDLE stopEvent = nullptr;     // "ZORBELSTOPEVENT"
  SourceKind source = SourceKind::Device;
  HWND window = nullptr;          // closed when the last reference goes
  bool objectCreated = false;     // an idle server that never served ends
};

// Set up by the server before the class factory is registered.
ServerContext& serverContext();

// The class factory of CLSID_recorder (a static object, never freed).
IClassFactory* recorderFactory();

// Ends the recordings of all live objects, closing their files; for a
// server told to quit while a client still holds an object.
void stopAllRecordings();

}  // namespace zorbel
