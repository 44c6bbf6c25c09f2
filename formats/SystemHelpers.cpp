// The portable system helpers: number texts and the order of the shutdown
// steps over a ShutdownSystem. Nothing here calls the operating system itself.
#include "SystemHelpers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "SysUtils.h"

AnsiString formatDecimal(float value, int decimals) {
  // A negative precision would make "%.-1f", which printf does not define.
  const int n = std::clamp(decimals, 0, 10);
  const std::string format = "%." + std::to_string(n) + "f";
  const int len = std::snprintf(nullptr, 0, format.c_str(), static_cast<double>(value));
  if (len <= 0) return AnsiString();
  std::vector<char> buf(static_cast<std::size_t>(len) + 1);
  std::snprintf(buf.data(), buf.size(), format.c_str(), static_cast<double>(value));
  return AnsiString(buf.data(), static_cast<std::size_t>(len));
}

double fractionOf(double dateTime) { return dateTime - std::trunc(dateTime); }

int isFloatText(const AnsiString& text) {
  try {
    StrToFloat(text);
    return 1;
  } catch (const EConvertError&) {
    return 0;
  }
}

int isIntegerText(const AnsiString& text) {
  try {
    StrToInt(text);
    return 1;
  } catch (const EConvertError&) {
    return 0;
  }
}

int shutdownComputer(ShutdownSystem& system) {
  if (!system.isNtPlatform()) {
    system.exitWindows(kExitLogoff, kExitReserved9x);
  } else {
    if (!system.openProcessToken()) return -1;
    int result = 0;
    if (!system.lookupShutdownPrivilege()) result = -2;
    else if (!system.enableShutdownPrivilege()) result = -3;
    system.closeProcessToken();
    if (result) return result;
  }
  return system.exitWindows(kExitShutdownForcePowerOff, 0) ? 1 : -4;
}
