// /regserver and /unregserver: the machine-wide COM registration of the
// server (CLSID with LocalServer32, ProgID, TypeLib, and the interface and
// type-library keys that LoadTypeLibEx writes). Both run silently: the
// program waits for them without a time limit, so nothing may show a window.
#pragma once

namespace zorbel {

// Each returns true when every step succeeded (a key already gone counts as
// success for unregistering).
bool registerServer();
bool unregisterServer();

}  // namespace zorbel
