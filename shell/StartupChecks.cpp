// The order of the start-up checks and their failure table; see the header.
#include "StartupChecks.h"

namespace StartupText {
const char* const kAppTitle = "Vidorra";
const char* const kWmvInstallQuestion =
    "此电脑上还没有安装wmv支持文件,本软件的wmv格式功能无法使用。要安装wmv支持文件吗?";
const char* const kWmvInstallerMissingHead =
    "找不到本软件附带的wmv支持文件,可能是您没有完整下载安装本软件,请到";
const char* const kWmvInstallerMissingTail = "重新下载安装";
const char* const kNeedAdmin =
    "    在VISTA/WIN7下使用需要以管理员权限运行(在VISTA/WIN7中选中本软件启动图标，点鼠标右键，选“以管理员权限打开”)\r\n"
    "    如果已经按上面要求运行还是有此提示的话可能是软件刚开始运行时写注册表启动项被防火墙软件拦截了,需要重装到另外一个文件夹再运行,防火墙软件拦截时一定要选允许和信任。\r\n"
    "    在VISTA/WIN7下运行本软件时,屏幕配色方案会自动暂时更改为Windows7 Basic,软件关闭时会自动恢复原来设置,这是为了减小录像的大小,不是软件兼容性问题,请不用担心。";
const char* const kNoMp3Codec =
    "目前系统中没有MP3编码解码器,有些功能将不能使用;请下载安装microsoft media player最新版,安装后就有了";
const char* const kSecondInstance = "你已经打开了一个Vidorra，不能同时打开两个";
const char* const kNoRecorderServer = "文件zorbel.exe不存在,请与作者联系";
const char* const kStaleServerSurvives = "zorbel.exe无法关闭,请与作者联系";
const char* const kRecorderFailedHead =
    "    装入zorbel.exe失败,原因很可能是你的系统里禁用了DCOM Server Process Launcher服务。请按下面的方法启动此服务:按“开始”-“运行”,在运行窗口中输入“services.msc”后按确定按钮,在弹出的“服务”窗体中找到此服务并启动它。\t\n"
    "    以上方法如果不行,请在WINDOWS的 开始/运行 里执行:regsvr32 Oleaut32.dll 执行后再试是否可以了。\t\n"
    "    如果还是不行请和作者联系 ";
const char* const kHookLoadFailed = "DLL: 不能加载！程序退出。";
const char* const kHookEntryMissing = "DLL: 函数没找到！程序退出。";
const char* const kSetcxMissing = "trebis1 error 3";
const char* const kHelpFailed = "装入帮助系统失败";
}  // namespace StartupText

namespace {
StartupResult endWith(StartupResult r, int code) {
  r.carryOn = false;
  r.exitCode = code;
  return r;
}
}  // namespace

StartupResult runStartupChecks(StartupEnv& env, const AnsiString& webSite) {
  using namespace StartupText;
  StartupResult r;

  // The WMV features need the runtime and morlek.dll; declining the
  // installer only leaves them off.
  if (env.probeWmvRuntime()) {
    r.wmvAvailable = env.loadWmvLibrary();
  } else if (env.askOkCancel(kAppTitle, kWmvInstallQuestion)) {
    if (env.wmvInstallerExists()) {
      env.runWmvInstaller();
      return endWith(r, 0);
    }
    env.showMessage(AnsiString(kWmvInstallerMissingHead) + webSite + kWmvInstallerMissingTail);
  }

  r.vista = env.isVistaOrLater();
  if (r.vista && !env.canWriteMachineRegistry()) {
    env.showMessage(kNeedAdmin);
    return endWith(r, 0);
  }

  r.mp3Available = env.hasMp3Codec();
  if (!r.mp3Available) {
    if (env.mp3CodecFilesPresent()) {
      if (env.runMp3Repair()) return endWith(r, 0);
    } else {
      env.showMessage(kNoMp3Codec);
    }
  }

  if (!env.acquireInstanceMutex()) {
    env.showMessage(kSecondInstance);
    return endWith(r, 1);
  }
  if (!env.recorderServerExists()) {
    env.showMessage(kNoRecorderServer);
    return endWith(r, 1);
  }
  // A server left over from a crashed run takes a moment to die: wait for
  // it instead of looking once.
  if (env.staleServerRunning() && !env.endStaleServer(kStaleServerWaitMs)) {
    env.showMessage(kStaleServerSurvives);
    return endWith(r, 1);
  }
  if (!env.isRecorderServerRegistered()) {
    env.runRecorderServer("/unregserver");
    env.runRecorderServer("/regserver");
    env.markRecorderServerRegistered();
  }
  env.writeLocalServerPath();
  env.initCom();
  if (!env.createRecorder()) {
    env.runRecorderServer("/regserver");
    if (!env.createRecorder()) {
      env.showMessage(AnsiString(kRecorderFailedHead) + webSite);
      return endWith(r, 1);
    }
  }
  env.createStopEvent();

  switch (env.loadHookLibraries()) {
  case HookLoad::ok:
    break;
  case HookLoad::libraryMissing:
    env.showMessage(kHookLoadFailed);
    return endWith(r, 1);
  case HookLoad::entryMissing:
    env.showMessage(kHookEntryMissing);
    return endWith(r, 1);
  case HookLoad::setcxMissing:
    env.showMessage(kSetcxMissing);
    return endWith(r, 1);
  }

  if (r.vista) env.startMouseHelper();
  r.helpAvailable = env.loadHelp();
  if (!r.helpAvailable) env.showMessage(kHelpFailed);
  return r;
}

const char* const StartupText::kUse16BitColour =
    "由于您的电脑在32位色屏幕颜色模式下录屏速度较慢,强烈建议先将屏幕颜色调整为16位色,否则可能导致录制时系统反应过慢,录出的动画不连贯等问题,您可以先试录如果有出现上面的问题后再进行调整。调整方法：在桌面空白处点鼠标右键,在弹出的菜单中点 属性，在弹出的 显示属性 窗体中点到 设置 页,在此页中修改颜色质量";
const char* const StartupText::kTryDriverAcceleration =
    "发现此电脑截屏速度比较慢,可能会造成录像时有卡的感觉或无法使用较高的录制频率。建议使用驱动加速功能,具体见主窗体中的 驱动加速 页";

CaptureChoice chooseCapture(int depth, bool vista, bool win7, int captureMs, bool accelerationOffered) {
  CaptureChoice c;
  if (depth == 8) {
    c.eightBit = true;
  } else if (depth != 16 || vista) {
    // Windows 7 captures 32-bit screens fast enough by itself.
    if (captureMs > 35 && !win7) c.advice = ScreenAdvice::use16BitColour;
  } else if (accelerationOffered && captureMs > 80) {
    c.advice = ScreenAdvice::tryDriverAcceleration;
  }
  return c;
}
