// The repair of the MP3 codec's driver registration; see the header. A
// repair counts only when the value was written: a key that cannot be
// opened is a failure the user is told about, not a success.
#include "Mp3RepairForm_win.h"

#include "Registry.h"
#include "SysUtils.h"

const char* const kMp3DriverKey = "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
const char* const kMp3DriverValue = "msacm.l3acm";

void TXfmp3Form::Button2Click(TObject* Sender) {
  wchar_t dir[MAX_PATH];
  UINT n = GetWindowsDirectoryW(dir, MAX_PATH);
  AnsiString path = WideToCp936(std::wstring(dir, n < MAX_PATH ? n : 0)) + "\\system32\\l3codecp.acm";
  bool written = false;
  try {
    TRegistry reg;
    reg.RootKey = HKEY_LOCAL_MACHINE;
    if (reg.OpenKey(kMp3DriverKey, true)) {
      reg.WriteString(kMp3DriverValue, path);
      written = reg.ReadString(kMp3DriverValue) == path;
    }
  } catch (...) {
    written = false;
  }
  if (!written) {
    ShowMessage("写注册表失败");
    return;
  }
  ShowMessage("已经尝试进行修复了,请重新运行软件,如成功将不再弹出此窗体");
  repaired = 1;
  Close();
}
