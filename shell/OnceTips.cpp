// The dismissed once-only tips (see OnceTips.h).
#include "OnceTips.h"

#include <algorithm>
#include <string>
#include <vector>

#include "SysUtils.h"

void DismissedTips::loadFromFile(const AnsiString& path) {
  bytes_.Clear();
  if (!FileExists(path)) return;
  try {
    TFileStream in(path, fmOpenRead | fmShareDenyNone);
    const int64_t size = in.Size();
    if (size <= 0 || size > kDismissedTipsMaxBytes) return;
    std::string data(static_cast<std::size_t>(size), '\0');
    int64_t done = 0;
    while (done < size) {
      const int n = in.Read(&data[static_cast<std::size_t>(done)], static_cast<int>(size - done));
      if (n <= 0) break;
      done += n;
    }
    bytes_.Write(data.data(), static_cast<int>(done));
  } catch (const Exception&) {
    bytes_.Clear();
  }
}

bool DismissedTips::shouldShow(const AnsiString& tip) const {
  const std::vector<uint8_t>& b = bytes_.Bytes();
  if (b.empty()) return true;
  const auto* t = reinterpret_cast<const uint8_t*>(tip.c_str());
  return std::search(b.begin(), b.end(), t, t + tip.Length()) == b.end();
}

bool DismissedTips::dismiss(const AnsiString& tip, const AnsiString& path) {
  bytes_.Seek(0, soFromEnd);
  bytes_.Write(tip.c_str(), tip.Length());
  try {
    bytes_.SaveToFile(path);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

const char* const TipText::kVistaColourScheme =
    "在VISTA/WIN7下运行本软件时,屏幕配色方案会自动暂时更改为Windows7 Basic,软件关闭时会自动恢复原来设置,这是为了减小录像的大小,不是软件兼容性问题,请不用担心。";
const char* const TipText::kUseCombinationKeys =
    "由于考虑要兼容旧版本的操作习惯,默认的快捷键未使用组合键。但我们强烈建议你设置使用组合键,因为如果不使用组合键,在录制时很可能会误按F2或F3,造成停止录像或暂停录像。使用组合键可以很好地解决此问题。具体操作方法可以在此页面上按F1键";
const char* const TipText::kVideoMayBeOpen =
    "    要录制的视频可能已经打开,这会造成录制不到图像。要录制视频时应该先打开本软件,然后再打开被录制的视频,这样才可以确保录制到视频。\r\n"
    "   软件打开试了后如果确实录不到视频的话,请把本软件和要录制的视频都先关闭,然后先打开本软件,再打开要录制的视频。\r\n"
    "    个别电脑上此提示可能会不准确,每次打开都出现,这种情况下请选中下面的选项让以后不要提示就可以了。";
