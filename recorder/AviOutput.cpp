// The portable rules of the direct AVI output: the stream's time base and the
// dropped-frame report. The output itself is in AviOutput_win.cpp.
#include "AviOutput.h"

#include "SysUtils.h"

bool aviTimeBase(int msPerFrame, uint32_t& scale, uint32_t& rate) {
  if (msPerFrame <= 0) return false;
  if (1000 % msPerFrame == 0) {
    scale = 1;
    rate = static_cast<uint32_t>(1000 / msPerFrame);
  } else {
    scale = static_cast<uint32_t>(msPerFrame);
    rate = 1000;
  }
  return true;
}

AnsiString aviDropReport(int frameCount, int dropped, bool camera) {
  const int64_t percent = frameCount > 0 ? int64_t(dropped) * 100 / frameCount : 0;
  AnsiString ending;
  if (!camera && frameCount > 0 && percent > 10)
    ending = "帧,已自动补帧。如果丢失比例过高,请考虑降低录制频率。";
  else if (camera && frameCount > 100 && percent > 30)
    ending = "帧,已自动补帧。请看录像文件效果，如果效果不好请降低录制频率试试。";
  else
    return AnsiString();
  return AnsiString("共") + IntToStr(frameCount) + "帧" + "," + "录制过程中丢失了" +
         IntToStr(dropped) + ending;
}

const char* const kAviWriteFailedMessage =
    "生成AVI失败,可能是你选取的AVI压缩方式(编码器)有问题，请选用其它的AVI压缩设置(编码器。"
    "如果内容是软件操作过程动画，则AVI编码器建议使用“Microsoft Video 1”或“Microsoft MPEG-4”，"
    "如果是电影、电视、聊天视频等视频，则AVI编码器建议使用“Microsoft MPEG-4”或“Xvid MPEG-4 Codec”,"
    "如果没有MPEG4编码器,也可以使用“Indeo Video 5.10”或“Indeo Video 4.5”。";
