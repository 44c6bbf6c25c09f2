// The Windows Media runtime probe and the WMV helper library morlek.dll:
// whether wmvcore.dll can write WMV at all, and the loading and freeing of
// the helper with all its entry points bound. Windows only.
#pragma once

#include <cstdint>

#include "System.h"

// True when wmvcore.dll in the system folder loads and exports WMCreateWriter.
bool probeWmvRuntime();
// True when the library loads with every entry point; a missing entry shows
// "Load dll error" and frees it again; a missing library says nothing.
bool loadWmvLibrary(const AnsiString& path);
void unloadWmvLibrary();
bool wmvLibraryLoaded();

// The first video frame of a WMV file as the helper decodes it ("getfirstfr"):
// a 40-byte BITMAPINFOHEADER followed by the pixel bits, held by the library
// until wmvFreeFirstVideoFrame ("freefirstfr"), with the file's milliseconds
// per frame, bit rate (bit/s) and frame count.
struct WmvFirstFrame {
  const uint8_t* frame = nullptr;
  int msPerFrame = 0, bitRate = 0, frameCount = 0;
};
// 1 on success; anything else (also when the library is not loaded) is a failure.
int wmvGetFirstVideoFrame(const AnsiString& path, WmvFirstFrame& out);
void wmvFreeFirstVideoFrame();

