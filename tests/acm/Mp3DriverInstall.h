// Installs and removes our MPEG Layer-3 ACM driver in the Wine prefix the way
// a codec is set up on Windows: the file in the system folder, a Drivers32
// value "msacm.*" naming it, and no stale DriverCache entry (the ACM caches a
// driver's format tags under its value name and a stale entry hides it).
// The ACM reads Drivers32 when msacm32 loads, so only processes started after
// an install see the driver. Windows only.
#pragma once
#ifdef _WIN32

#include <string>
#include <utility>

namespace mp3driver {

// The value name under Drivers32 and the file name in the system folder.
constexpr const wchar_t* kValueName = L"msacm.vidmp3";
constexpr const wchar_t* kFileName = L"vidmp3.acm";

// A host path ("/work/...") as Wine sees it ("Z:\work\...").
std::wstring winePath(const std::string& hostPath);
// Copies the built driver (host path) into the system folder and registers it.
bool install(const std::string& builtDriver);
// Removes the registration, the cache entry and the copy; true when none is left.
bool uninstall();
// Whether the driver is registered and its copy is in the system folder.
bool installed();

// Puts the driver back the way it found it (the prefix of a machine set up
// for running the program has it installed), however the test ends: other
// tests, run later, rely on the prefix as it was.
class KeepState {
 public:
  explicit KeepState(std::string builtDriver) : built_(std::move(builtDriver)), was_(installed()) {}
  ~KeepState() { was_ ? install(built_) : uninstall(); }
  KeepState(const KeepState&) = delete;
  KeepState& operator=(const KeepState&) = delete;

 private:
  std::string built_;
  bool was_;
};

// msacm32 reads the installed drivers only when it loads, so the checks that
// need a just-installed (or just-removed) driver run in a fresh child copy of
// the test program. runChild starts it with only the tests matching
// gtestFilter and the environment variable childVariable set to mode, and
// returns its exit code (-1 when it cannot start); childMode gives that
// value inside the child and "" in the parent.
int runChild(const char* childVariable, const char* mode, const wchar_t* gtestFilter);
std::string childMode(const char* childVariable);

}  // namespace mp3driver

#endif
