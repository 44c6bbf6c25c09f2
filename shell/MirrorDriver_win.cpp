// The mirror display driver client (see the header). The driver is found by
// its device string; attaching goes through the registry flag the display
// settings read and two display-settings calls on the mirror device.
#include "MirrorDriver_win.h"

#include "BmpHeader_win.h"
#include "Forms.h"
#include "SysUtils.h"

namespace {
const wchar_t kDriverString[] = L"Qorvim Mirror Driver";
const int kRectBufferSize = 16004;  // uint32 count, then 1000 rectangles of 16 bytes
const wchar_t kAttachKey[] =
    L"SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\Services\\VUDUVOVA";

bool currentMode(DEVMODEW& mode) {
  mode = DEVMODEW();
  mode.dmSize = sizeof mode;
  return EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode) != FALSE;
}
}  // namespace

mymirrorclass::mymirrorclass(uint32_t rop) : captureRop(rop) {
  rectBuffer = new uint8_t[kRectBufferSize]();
  desktopWindow = GetDesktopWindow();
  desktopDC = GetWindowDC(desktopWindow);
  mapMode = 0;
  probeDriver();
}

mymirrorclass::~mymirrorclass() {
  delete[] rectBuffer;
  if (desktopDC) ReleaseDC(desktopWindow, desktopDC);
  if (mapMode) unmapSurface();
  detachMirrorDriver();
}

bool mymirrorclass::findDevice(DISPLAY_DEVICEW& device) {
  for (DWORD i = 0;; ++i) {
    device = DISPLAY_DEVICEW();
    device.cb = sizeof device;
    if (!EnumDisplayDevicesW(nullptr, i, &device, 0)) return false;
    if (wcscmp(device.DeviceString, kDriverString) == 0) return true;
  }
}

bool mymirrorclass::probeDriver() {
  driverInstalled = 0;
  DEVMODEW mode;
  if (!currentMode(mode)) return false;
  DISPLAY_DEVICEW device;
  if (!findDevice(device)) return false;
  driverInstalled = 1;
  return true;
}

int mymirrorclass::escape(int code, int inSize, const void* in, int outSize, void* out) {
  if (!mirrorDC) return 0;
  return ExtEscape(mirrorDC, code, inSize, static_cast<LPCSTR>(in), outSize, static_cast<LPSTR>(out));
}

std::string mymirrorclass::attach() {
  if (mirrorDC) DeleteDC(mirrorDC);
  mirrorDC = nullptr;
  DEVMODEW mode;
  if (!currentMode(mode)) return "mirror load error1";
  mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
  DISPLAY_DEVICEW device;
  if (!findDevice(device)) return "mirror load error2";

  std::wstring keyName(device.DeviceKey);
  for (auto& c : keyName) c = static_cast<wchar_t>(towupper(c));
  std::wstring sub = L"DEVICE0";
  std::size_t at = keyName.find(L"\\DEVICE");
  if (at != std::wstring::npos) sub = keyName.substr(at + 1);

  HKEY services, deviceKey;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kAttachKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &services, nullptr) !=
      ERROR_SUCCESS)
    return "mirror load error3";
  if (RegCreateKeyExW(services, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &deviceKey, nullptr) !=
      ERROR_SUCCESS) {
    RegCloseKey(services);
    return "mirror load error4";
  }
  auto setAttach = [&](DWORD on) {
    return RegSetValueExW(deviceKey, L"Attach.ToDesktop", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on),
                          sizeof on) == ERROR_SUCCESS;
  };
  auto fail = [&](const char* text) {
    RegCloseKey(deviceKey);
    RegCloseKey(services);
    return std::string(text);
  };
  if (!setAttach(1)) return fail("mirror load error5");

  wcsncpy(mode.dmDeviceName, L"mirror", CCHDEVICENAME);
  std::string name = WideToCp936(device.DeviceName).c_str();
  strncpy(deviceName, name.c_str(), sizeof deviceName - 1);
  ChangeDisplaySettingsExW(device.DeviceName, &mode, nullptr, CDS_UPDATEREGISTRY, nullptr);
  ChangeDisplaySettingsExW(device.DeviceName, &mode, nullptr, 0, nullptr);
  mirrorDC = CreateDCW(L"DISPLAY", device.DeviceName, nullptr, nullptr);
  if (!mirrorDC) return fail("mirror load error6");
  if (!querySurface()) return fail("mirror load error7");
  // Not attached again at the next system start.
  if (!setAttach(0)) return fail("mirror load error8");
  RegCloseKey(deviceKey);
  RegCloseKey(services);
  return std::string();
}

bool mymirrorclass::detachMirrorDriver() {
  if (!mirrorDC) return true;
  DEVMODEW mode = {};
  mode.dmSize = sizeof mode;
  mode.dmFields = DM_BITSPERPEL;
  mode.dmBitsPerPel = bitsPerPixel == 16 ? 32 : 16;
  ChangeDisplaySettingsExW(Cp936ToWide(deviceName).c_str(), &mode, nullptr, CDS_UPDATEREGISTRY, nullptr);
  int32_t stop = 0;
  int still = escape(MIRROR_ESC_MAP_SURFACE, sizeof stop, &stop, 0, nullptr);
  DeleteDC(mirrorDC);
  mirrorDC = nullptr;
  if (still > 0) {
    ShowMessage(
        "关闭mirror driver内核驱动失败,这不影响你的电脑正常运行,只是会让DirectDraw暂时失效(有可能造成极个别软件不能运行),如果有需要只要重启电脑即可");
    return false;
  }
  return true;
}

bool mymirrorclass::isAttached() { return mirrorDC && querySurface(); }

bool mymirrorclass::querySurface() {
  uint32_t reply[3] = {};
  if (escape(MIRROR_ESC_QUERY_SURFACE, 0, nullptr, sizeof reply, reply) < 1) return false;
  // The surface is mapped and copied by these figures: only a screen-sized
  // surface of 16 or 32 bits is taken.
  if (reply[0] < 1 || reply[0] > 16384 || reply[1] < 1 || reply[1] > 16384 || (reply[2] != 16 && reply[2] != 32))
    return false;
  surfaceWidth = reply[0];
  surfaceHeight = static_cast<int32_t>(reply[1]);
  bitsPerPixel = reply[2];
  stride = static_cast<int32_t>((bitsPerPixel / 8 * surfaceWidth + 3) & ~3u);
  return true;
}

bool mymirrorclass::mapSurface(int mode) {
  if (mapMode || !querySurface()) return false;
  int32_t m = mode;
  if (escape(MIRROR_ESC_MAP_SURFACE, sizeof m, &m, 0, nullptr) <= 0) return false;
  rectCount = 0;
  // Bottom-up; 16 bits are 5-6-5.
  const int32_t width = static_cast<int32_t>(surfaceWidth);
  BitmapInfoWithMasks bi(bitsPerPixel == 16 ? BmpInfo::rgb565(width, surfaceHeight)
                                            : BmpInfo::plain(width, surfaceHeight, bitsPerPixel));
  frameBitmap = CreateDIBSection(desktopDC, bi.get(), DIB_RGB_COLORS, &frameBits, nullptr, 0);
  if (!frameBitmap) {
    int32_t stop = 0;
    escape(MIRROR_ESC_MAP_SURFACE, sizeof stop, &stop, 0, nullptr);
    return false;
  }
  mapMode = mode;
  return true;
}

bool mymirrorclass::unmapSurface() {
  if (!mapMode) return false;
  if (frameBitmap) DeleteObject(frameBitmap);
  frameBitmap = nullptr;
  frameBits = nullptr;
  mapMode = 0;
  int32_t stop = 0;
  return escape(MIRROR_ESC_MAP_SURFACE, sizeof stop, &stop, 0, nullptr) > 0;
}
