// The AcmApi over msacm32, and the codec-name helpers that need the ACM, the
// Video Compression Manager and AVIFile. Windows only. Driver names come back
// as UTF-16 from the W functions and are turned into CP936 here.
#include <windows.h>
#include <mmreg.h>
#include <msacm.h>
#include <vfw.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "Acm.h"
#include "ByteReader.h"
#include "SysUtils.h"

namespace {

// A stream with its one header: the ACM keeps pointers into the header between
// prepare and unprepare, so it lives on the heap beside the stream handle.
struct WinStream {
  HACMSTREAM has = nullptr;
  ACMSTREAMHEADER hdr{};
  DWORD srcCapacity = 0, dstCapacity = 0;
  bool prepared = false;
};

WinStream* asStream(AcmHandle h) { return reinterpret_cast<WinStream*>(h); }

BOOL CALLBACK driverEnumProc(HACMDRIVERID id, DWORD_PTR instance, DWORD) {
  auto* fn = reinterpret_cast<const std::function<bool(AcmDriverId)>*>(instance);
  return (*fn)(reinterpret_cast<AcmDriverId>(id)) ? TRUE : FALSE;
}

using FormatFn = std::function<bool(uint32_t, const uint8_t*, std::size_t)>;

BOOL CALLBACK formatEnumProc(HACMDRIVERID, LPACMFORMATDETAILSW details, DWORD_PTR instance, DWORD) {
  auto* fn = reinterpret_cast<const FormatFn*>(instance);
  return (*fn)(details->dwFormatIndex, reinterpret_cast<const uint8_t*>(details->pwfx), details->cbwfx) ? TRUE
                                                                                                        : FALSE;
}

class WinAcm : public AcmApi {
public:
  uint32_t maxFormatSize() override {
    DWORD size = 0;
    if (acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &size) != MMSYSERR_NOERROR) return 0;
    return size;
  }

  bool enumDrivers(const std::function<bool(AcmDriverId)>& fn) override {
    return acmDriverEnum(driverEnumProc, reinterpret_cast<DWORD_PTR>(&fn), 0) == MMSYSERR_NOERROR;
  }

  bool driverLongName(AcmDriverId id, AnsiString& name) override {
    ACMDRIVERDETAILSW d{};
    d.cbStruct = sizeof d;
    if (acmDriverDetailsW(reinterpret_cast<HACMDRIVERID>(id), &d, 0) != MMSYSERR_NOERROR) return false;
    name = WideToCp936(d.szLongName);
    return true;
  }

  bool openDriver(AcmDriverId id, AcmHandle& driver) override {
    HACMDRIVER had = nullptr;
    if (acmDriverOpen(&had, reinterpret_cast<HACMDRIVERID>(id), 0) != MMSYSERR_NOERROR) return false;
    driver = reinterpret_cast<AcmHandle>(had);
    return true;
  }

  void closeDriver(AcmHandle driver) override { acmDriverClose(reinterpret_cast<HACMDRIVER>(driver), 0); }

  bool enumFormats(AcmHandle driver, uint16_t tag, const FormatFn& fn) override {
    DWORD size = std::max<DWORD>(maxFormatSize(), sizeof(WAVEFORMATEX));
    std::vector<uint8_t> buf(size, 0);
    auto* wfx = reinterpret_cast<WAVEFORMATEX*>(buf.data());
    wfx->wFormatTag = tag;
    ACMFORMATDETAILSW d{};
    d.cbStruct = sizeof d;
    d.dwFormatTag = tag;
    d.pwfx = wfx;
    d.cbwfx = size;
    return acmFormatEnumW(reinterpret_cast<HACMDRIVER>(driver), &d, formatEnumProc,
                          reinterpret_cast<DWORD_PTR>(&fn), ACM_FORMATENUMF_WFORMATTAG) == MMSYSERR_NOERROR;
  }

  bool openStream(AcmHandle driver, const uint8_t* src, const uint8_t* dst, AcmHandle& stream) override {
    auto s = std::make_unique<WinStream>();
    MMRESULT r = acmStreamOpen(&s->has, reinterpret_cast<HACMDRIVER>(driver),
                               reinterpret_cast<LPWAVEFORMATEX>(const_cast<uint8_t*>(src)),
                               reinterpret_cast<LPWAVEFORMATEX>(const_cast<uint8_t*>(dst)), nullptr, 0, 0,
                               ACM_STREAMOPENF_NONREALTIME);
    if (r != MMSYSERR_NOERROR) return false;
    stream = reinterpret_cast<AcmHandle>(s.release());
    return true;
  }

  void closeStream(AcmHandle stream) override {
    std::unique_ptr<WinStream> s(asStream(stream));
    if (!s) return;
    if (s->prepared) unprepareHeader(stream);
    acmStreamClose(s->has, 0);
  }

  bool streamSize(AcmHandle stream, uint32_t srcBytes, uint32_t& dstBytes) override {
    DWORD out = 0;
    if (acmStreamSize(asStream(stream)->has, srcBytes, &out, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR)
      return false;
    dstBytes = out;
    return true;
  }

  bool prepareHeader(AcmHandle stream, uint8_t* src, uint32_t srcCapacity, uint8_t* dst,
                     uint32_t dstCapacity) override {
    WinStream* s = asStream(stream);
    s->hdr = ACMSTREAMHEADER{};
    s->hdr.cbStruct = sizeof s->hdr;
    s->hdr.pbSrc = src;
    s->hdr.cbSrcLength = s->srcCapacity = srcCapacity;
    s->hdr.pbDst = dst;
    s->hdr.cbDstLength = s->dstCapacity = dstCapacity;
    s->prepared = acmStreamPrepareHeader(s->has, &s->hdr, 0) == MMSYSERR_NOERROR;
    return s->prepared;
  }

  bool convert(AcmHandle stream, uint32_t srcLength, bool end, uint32_t& srcUsed, uint32_t& dstUsed) override {
    WinStream* s = asStream(stream);
    s->hdr.cbSrcLength = srcLength;
    s->hdr.cbDstLength = s->dstCapacity;
    s->hdr.cbSrcLengthUsed = 0;
    s->hdr.cbDstLengthUsed = 0;
    DWORD flags = ACM_STREAMCONVERTF_BLOCKALIGN | (end ? ACM_STREAMCONVERTF_END : 0);
    if (acmStreamConvert(s->has, &s->hdr, flags) != MMSYSERR_NOERROR) return false;
    srcUsed = s->hdr.cbSrcLengthUsed;
    dstUsed = s->hdr.cbDstLengthUsed;
    return true;
  }

  bool unprepareHeader(AcmHandle stream) override {
    WinStream* s = asStream(stream);
    if (!s->prepared) return true;
    // The ACM insists on the lengths it was prepared with.
    s->hdr.cbSrcLength = s->srcCapacity;
    s->hdr.cbDstLength = s->dstCapacity;
    s->prepared = false;
    return acmStreamUnprepareHeader(s->has, &s->hdr, 0) == MMSYSERR_NOERROR;
  }
};

}  // namespace

AcmApi& systemAcm() {
  static WinAcm acm;
  return acm;
}

// --- names ---------------------------------------------------------------------
AnsiString acmFormatTagName(int16_t tag) {
  if (tag == kTagPcm) return "PCM 未压缩";
  AnsiString name;
  std::function<bool(AcmDriverId)> each = [&](AcmDriverId id) {
    HACMDRIVER had = nullptr;
    if (acmDriverOpen(&had, reinterpret_cast<HACMDRIVERID>(id), 0) != MMSYSERR_NOERROR) return true;
    ACMFORMATTAGDETAILSW d{};
    d.cbStruct = sizeof d;
    d.dwFormatTag = static_cast<uint16_t>(tag);
    if (acmFormatTagDetailsW(had, &d, ACM_FORMATTAGDETAILSF_FORMATTAG) == MMSYSERR_NOERROR)
      name = WideToCp936(d.szFormatTag);
    acmDriverClose(had, 0);
    return name.IsEmpty();
  };
  acmDriverEnum(driverEnumProc, reinterpret_cast<DWORD_PTR>(&each), 0);
  return name;
}

AnsiString videoCodecName(uint32_t fourcc) {
  HIC hic = ICOpen(ICTYPE_VIDEO, fourcc, ICMODE_QUERY);
  if (!hic) return AnsiString();
  ICINFO info{};
  info.dwSize = sizeof info;
  AnsiString name;
  if (ICGetInfo(hic, &info, sizeof info)) name = WideToCp936(info.szDescription);
  ICClose(hic);
  return name;
}

void aviCodecNames(const AnsiString& path, AnsiString& video, AnsiString& audio) {
  video = AnsiString();
  audio = AnsiString();
  AVIFileInit();
  PAVIFILE file = nullptr;
  if (AVIFileOpenW(&file, Cp936ToWide(path).c_str(), OF_READ | OF_SHARE_DENY_NONE, nullptr) != 0) {
    AVIFileExit();
    return;
  }
  PAVISTREAM vs = nullptr;
  if (AVIFileGetStream(file, &vs, streamtypeVIDEO, 0) == 0) {
    AVISTREAMINFOW info{};
    if (AVIStreamInfoW(vs, &info, sizeof info) == 0) video = videoCodecName(info.fccHandler);
    AVIStreamRelease(vs);
  }
  PAVISTREAM as = nullptr;
  if (AVIFileGetStream(file, &as, streamtypeAUDIO, 0) == 0) {
    LONG size = 0;
    AVIStreamReadFormat(as, 0, nullptr, &size);
    std::vector<uint8_t> fmt(std::max<LONG>(size, sizeof(WAVEFORMATEX)), 0);
    if (size >= 2 && AVIStreamReadFormat(as, 0, fmt.data(), &size) == 0)
      audio = acmFormatTagName(static_cast<int16_t>(getU16(fmt.data())));
    AVIStreamRelease(as);
  } else {
    audio = "无声音";
  }
  AVIFileRelease(file);
  AVIFileExit();
}
