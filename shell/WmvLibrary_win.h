// The Windows Media runtime probe and the WMV helper library morlek.dll:
// whether wmvcore.dll can write WMV at all, and the loading and freeing of
// the helper with all its entry points bound. Windows only.
#pragma once

#include "System.h"

// True when wmvcore.dll in the system folder loads and exports WMCreateWriter.
bool probeWmvRuntime();
// True when the library loads with every entry point; a missing entry shows
// "Load dll error" and frees it again; a missing library says nothing.
bool loadWmvLibrary(const AnsiString& path);
void unloadWmvLibrary();
bool wmvLibraryLoaded();
