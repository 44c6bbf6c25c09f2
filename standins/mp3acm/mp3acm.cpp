// An Audio Compression Manager driver that encodes 16-bit PCM (mono or stereo)
// to MPEG Layer-3 (format tag 85) with LAME: the MP3 encoder the program
// expects to find installed as a system codec. It never decodes.
//
// The ACM loads and frees the driver around every use, so nothing lives in the
// DLL between opens: all state of a conversion hangs on its stream instance
// (dwDriver). Exported as the plain symbol DriverProc (linked --kill-at) and
// linked fully static, as the ACM loads it without any runtime beside it.
// MinGW has no driver-side ACM header: the messages and the driver structures
// are declared here from the public documentation.
#include <windows.h>
#include <mmreg.h>
#include <msacm.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <vector>

#include <lame/lame.h>

namespace {

// --- driver-side declarations ------------------------------------------------
constexpr UINT kAcmdmBase = DRV_USER + 0x2000;  // 0x6000
constexpr UINT kDmDriverNotify = kAcmdmBase + 1;
constexpr UINT kDmDriverDetails = kAcmdmBase + 10;
constexpr UINT kDmDriverAbout = kAcmdmBase + 11;
constexpr UINT kDmFormattagDetails = kAcmdmBase + 25;
constexpr UINT kDmFormatDetails = kAcmdmBase + 26;
constexpr UINT kDmFormatSuggest = kAcmdmBase + 27;
constexpr UINT kDmStreamOpen = kAcmdmBase + 76;
constexpr UINT kDmStreamClose = kAcmdmBase + 77;
constexpr UINT kDmStreamSize = kAcmdmBase + 78;
constexpr UINT kDmStreamConvert = kAcmdmBase + 79;
constexpr UINT kDmStreamReset = kAcmdmBase + 80;
constexpr UINT kDmStreamPrepare = kAcmdmBase + 81;
constexpr UINT kDmStreamUnprepare = kAcmdmBase + 82;

struct AcmDrvOpenDescW {
  DWORD cbStruct;
  FOURCC fccType;
  FOURCC fccComp;
  DWORD dwVersion;
  DWORD dwFlags;
  DWORD dwError;
  LPCWSTR pszSectionName;
  LPCWSTR pszAliasName;
  DWORD dnDevNode;
};

struct AcmDrvStreamInstance {
  DWORD cbStruct;
  LPWAVEFORMATEX pwfxSrc;
  LPWAVEFORMATEX pwfxDst;
  LPWAVEFILTER pwfltr;
  DWORD_PTR dwCallback;
  DWORD_PTR dwInstance;
  DWORD fdwOpen;
  DWORD fdwDriver;
  DWORD_PTR dwDriver;
  HACMSTREAM has;
};

struct AcmDrvStreamHeader {
  DWORD cbStruct;
  DWORD fdwStatus;
  DWORD_PTR dwUser;
  LPBYTE pbSrc;
  DWORD cbSrcLength;
  DWORD cbSrcLengthUsed;
  DWORD_PTR dwSrcUser;
  LPBYTE pbDst;
  DWORD cbDstLength;
  DWORD cbDstLengthUsed;
  DWORD_PTR dwDstUser;
  DWORD fdwConvert;
  // The ACM's own bookkeeping follows; the driver does not touch it.
};

struct AcmDrvStreamSize {
  DWORD cbStruct;
  DWORD fdwSize;
  DWORD cbSrcLength;
  DWORD cbDstLength;
};

struct AcmDrvFormatSuggest {
  DWORD cbStruct;
  DWORD fdwSuggest;
  LPWAVEFORMATEX pwfxSrc;
  DWORD cbwfxSrc;
  LPWAVEFORMATEX pwfxDst;
  DWORD cbwfxDst;
};

// --- what the encoder offers ---------------------------------------------------
// The rates LAME encodes without resampling, with the bit rates each MPEG
// version allows (MPEG-1 from 32 kHz, MPEG-2 from 16 kHz, MPEG-2.5 below).
constexpr int kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
constexpr int kMpeg1Rates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr int kMpeg2Rates[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr int kMpeg25Rates[] = {8, 16, 24, 32, 40, 48, 56, 64};

struct Mp3Format {
  int rate, channels, kbps;
};

bool isMpeg1(int rate) { return rate >= 32000; }
bool isMpeg25(int rate) { return rate < 16000; }

std::vector<int> bitratesFor(int rate) {
  if (isMpeg1(rate)) return std::vector<int>(std::begin(kMpeg1Rates), std::end(kMpeg1Rates));
  if (isMpeg25(rate)) return std::vector<int>(std::begin(kMpeg25Rates), std::end(kMpeg25Rates));
  return std::vector<int>(std::begin(kMpeg2Rates), std::end(kMpeg2Rates));
}

// Every MP3 format in the driver's own index order: by rate, then channels,
// then bit rate.
std::vector<Mp3Format> mp3Formats() {
  std::vector<Mp3Format> out;
  for (int rate : kRates)
    for (int ch = 1; ch <= 2; ++ch)
      for (int kbps : bitratesFor(rate)) out.push_back({rate, ch, kbps});
  return out;
}

// PCM formats this encoder takes: 16-bit, each rate, mono then stereo.
constexpr DWORD kPcmCount = 2 * (sizeof kRates / sizeof kRates[0]);

bool rateSupported(DWORD rate) { return std::find(std::begin(kRates), std::end(kRates), int(rate)) != std::end(kRates); }

void fillPcm(WAVEFORMATEX* w, int rate, int channels) {
  w->wFormatTag = WAVE_FORMAT_PCM;
  w->nChannels = WORD(channels);
  w->nSamplesPerSec = DWORD(rate);
  w->wBitsPerSample = 16;
  w->nBlockAlign = WORD(channels * 2);
  w->nAvgBytesPerSec = DWORD(rate) * w->nBlockAlign;
}

void fillMp3(MPEGLAYER3WAVEFORMAT* m, const Mp3Format& f) {
  std::memset(m, 0, sizeof *m);
  m->wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
  m->wfx.nChannels = WORD(f.channels);
  m->wfx.nSamplesPerSec = DWORD(f.rate);
  m->wfx.nAvgBytesPerSec = DWORD(f.kbps) * 1000 / 8;
  m->wfx.nBlockAlign = 1;
  m->wfx.wBitsPerSample = 0;
  m->wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
  m->wID = MPEGLAYER3_ID_MPEG;
  m->fdwFlags = MPEGLAYER3_FLAG_PADDING_ISO;
  // One frame: 1,152 samples for MPEG-1, 576 below 32 kHz.
  m->nBlockSize = WORD((isMpeg1(f.rate) ? 144000 : 72000) * f.kbps / f.rate);
  m->nFramesPerBlock = 1;
  m->nCodecDelay = 1105;  // LAME's 576 plus the decoder's 529
}

bool isPcmSource(const WAVEFORMATEX* w) {
  return w && w->wFormatTag == WAVE_FORMAT_PCM && (w->nChannels == 1 || w->nChannels == 2) &&
         w->wBitsPerSample == 16 && w->nBlockAlign == w->nChannels * 2 && rateSupported(w->nSamplesPerSec);
}

// The bit rate of an MP3 format that this encoder can make from src; 0 if none.
int mp3Bitrate(const WAVEFORMATEX* src, const WAVEFORMATEX* dst) {
  if (!dst || dst->wFormatTag != WAVE_FORMAT_MPEGLAYER3 || dst->nChannels != src->nChannels ||
      dst->nSamplesPerSec != src->nSamplesPerSec || dst->nAvgBytesPerSec * 8 % 1000 != 0)
    return 0;
  const int kbps = int(dst->nAvgBytesPerSec * 8 / 1000);
  const std::vector<int> allowed = bitratesFor(int(src->nSamplesPerSec));
  return std::find(allowed.begin(), allowed.end(), kbps) != allowed.end() ? kbps : 0;
}

// A sensible default for a suggestion: the usual rate for the MPEG version.
int defaultBitrate(int rate, int channels) {
  if (isMpeg1(rate)) return channels == 2 ? 128 : 64;
  if (isMpeg25(rate)) return channels == 2 ? 32 : 16;
  return channels == 2 ? 64 : 32;
}

void copyName(WCHAR* dst, std::size_t cap, const wchar_t* text) {
  std::wcsncpy(dst, text, cap - 1);
  dst[cap - 1] = 0;
}

void describeMp3(WCHAR* dst, std::size_t cap, const WAVEFORMATEX* w) {
  _snwprintf(dst, cap, L"%lu kBit/s, %lu Hz, %ls", static_cast<unsigned long>(w->nAvgBytesPerSec * 8 / 1000),
             static_cast<unsigned long>(w->nSamplesPerSec), w->nChannels == 1 ? L"Mono" : L"Stereo");
  dst[cap - 1] = 0;
}

void describePcm(WCHAR* dst, std::size_t cap, const WAVEFORMATEX* w) {
  _snwprintf(dst, cap, L"%lu Hz, 16 Bit, %ls", static_cast<unsigned long>(w->nSamplesPerSec),
             w->nChannels == 1 ? L"Mono" : L"Stereo");
  dst[cap - 1] = 0;
}

// --- messages --------------------------------------------------------------------
LRESULT driverDetails(ACMDRIVERDETAILSW* caller) {
  ACMDRIVERDETAILSW d{};
  d.cbStruct = std::min<DWORD>(caller->cbStruct, sizeof d);
  d.fccType = ACMDRIVERDETAILS_FCCTYPE_AUDIOCODEC;
  d.fccComp = ACMDRIVERDETAILS_FCCCOMP_UNDEFINED;
  d.wMid = 0xFFFF;  // no registered maker
  d.wPid = 0xFFFF;
  d.vdwACM = 0x03320000;
  d.vdwDriver = 0x01000000;
  d.fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CODEC;
  d.cFormatTags = 2;
  d.cFilterTags = 0;
  copyName(d.szShortName, ACMDRIVERDETAILS_SHORTNAME_CHARS, L"Vidorra MP3");
  copyName(d.szLongName, ACMDRIVERDETAILS_LONGNAME_CHARS, L"Vidorra MPEG Layer-3 encoder");
  copyName(d.szCopyright, ACMDRIVERDETAILS_COPYRIGHT_CHARS, L"Encoder: LAME (LGPL)");
  copyName(d.szLicensing, ACMDRIVERDETAILS_LICENSING_CHARS, L"LGPL");
  copyName(d.szFeatures, ACMDRIVERDETAILS_FEATURES_CHARS, L"16-bit PCM to MPEG Layer-3");
  std::memcpy(caller, &d, d.cbStruct);
  return MMSYSERR_NOERROR;
}

LRESULT formatTagDetails(ACMFORMATTAGDETAILSW* t, DWORD flags) {
  DWORD index;
  switch (flags & ACM_FORMATTAGDETAILSF_QUERYMASK) {
    case ACM_FORMATTAGDETAILSF_INDEX:
      if (t->dwFormatTagIndex > 1) return ACMERR_NOTPOSSIBLE;
      index = t->dwFormatTagIndex;
      break;
    case ACM_FORMATTAGDETAILSF_FORMATTAG:
      if (t->dwFormatTag == WAVE_FORMAT_PCM) index = 0;
      else if (t->dwFormatTag == WAVE_FORMAT_MPEGLAYER3) index = 1;
      else return ACMERR_NOTPOSSIBLE;
      break;
    case ACM_FORMATTAGDETAILSF_LARGESTSIZE:
      if (t->dwFormatTag == WAVE_FORMAT_PCM) index = 0;
      else if (t->dwFormatTag == WAVE_FORMAT_UNKNOWN || t->dwFormatTag == WAVE_FORMAT_MPEGLAYER3) index = 1;
      else return ACMERR_NOTPOSSIBLE;
      break;
    default:
      return MMSYSERR_NOTSUPPORTED;
  }
  t->dwFormatTagIndex = index;
  t->fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CODEC;
  if (index == 0) {
    t->dwFormatTag = WAVE_FORMAT_PCM;
    t->cbFormatSize = sizeof(PCMWAVEFORMAT);
    t->cStandardFormats = kPcmCount;
    copyName(t->szFormatTag, ACMFORMATTAGDETAILS_FORMATTAG_CHARS, L"PCM");
  } else {
    t->dwFormatTag = WAVE_FORMAT_MPEGLAYER3;
    t->cbFormatSize = sizeof(MPEGLAYER3WAVEFORMAT);
    t->cStandardFormats = DWORD(mp3Formats().size());
    copyName(t->szFormatTag, ACMFORMATTAGDETAILS_FORMATTAG_CHARS, L"MPEG Layer-3");
  }
  return MMSYSERR_NOERROR;
}

LRESULT formatDetails(ACMFORMATDETAILSW* d, DWORD flags) {
  if (!d->pwfx) return MMSYSERR_INVALPARAM;
  switch (flags & ACM_FORMATDETAILSF_QUERYMASK) {
    case ACM_FORMATDETAILSF_INDEX:
      if (d->dwFormatTag == WAVE_FORMAT_PCM) {
        if (d->dwFormatIndex >= kPcmCount || d->cbwfx < sizeof(PCMWAVEFORMAT)) return ACMERR_NOTPOSSIBLE;
        WAVEFORMATEX w{};
        fillPcm(&w, kRates[d->dwFormatIndex / 2], int(d->dwFormatIndex % 2) + 1);
        // A PCM format is 16 bytes unless the caller has room for cbSize.
        std::memcpy(d->pwfx, &w, std::min<DWORD>(d->cbwfx, sizeof w));
        describePcm(d->szFormat, ACMFORMATDETAILS_FORMAT_CHARS, &w);
      } else if (d->dwFormatTag == WAVE_FORMAT_MPEGLAYER3) {
        const std::vector<Mp3Format> all = mp3Formats();
        if (d->dwFormatIndex >= all.size() || d->cbwfx < sizeof(MPEGLAYER3WAVEFORMAT)) return ACMERR_NOTPOSSIBLE;
        fillMp3(reinterpret_cast<MPEGLAYER3WAVEFORMAT*>(d->pwfx), all[d->dwFormatIndex]);
        describeMp3(d->szFormat, ACMFORMATDETAILS_FORMAT_CHARS, d->pwfx);
      } else {
        return ACMERR_NOTPOSSIBLE;
      }
      break;
    case ACM_FORMATDETAILSF_FORMAT:
      if (isPcmSource(d->pwfx)) describePcm(d->szFormat, ACMFORMATDETAILS_FORMAT_CHARS, d->pwfx);
      else if (d->pwfx->wFormatTag == WAVE_FORMAT_MPEGLAYER3 && rateSupported(d->pwfx->nSamplesPerSec))
        describeMp3(d->szFormat, ACMFORMATDETAILS_FORMAT_CHARS, d->pwfx);
      else return ACMERR_NOTPOSSIBLE;
      break;
    default:
      return MMSYSERR_NOTSUPPORTED;
  }
  d->fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CODEC;
  return MMSYSERR_NOERROR;
}

LRESULT formatSuggest(AcmDrvFormatSuggest* s) {
  const WAVEFORMATEX* src = s->pwfxSrc;
  WAVEFORMATEX* dst = s->pwfxDst;
  if (!isPcmSource(src) || !dst) return ACMERR_NOTPOSSIBLE;
  const DWORD f = s->fdwSuggest;
  if ((f & ACM_FORMATSUGGESTF_WFORMATTAG) && dst->wFormatTag != WAVE_FORMAT_MPEGLAYER3) return ACMERR_NOTPOSSIBLE;
  if ((f & ACM_FORMATSUGGESTF_NCHANNELS) && dst->nChannels != src->nChannels) return ACMERR_NOTPOSSIBLE;
  if ((f & ACM_FORMATSUGGESTF_NSAMPLESPERSEC) && dst->nSamplesPerSec != src->nSamplesPerSec)
    return ACMERR_NOTPOSSIBLE;
  if ((f & ACM_FORMATSUGGESTF_WBITSPERSAMPLE) && dst->wBitsPerSample != 0) return ACMERR_NOTPOSSIBLE;
  if (s->cbwfxDst < sizeof(MPEGLAYER3WAVEFORMAT)) return ACMERR_NOTPOSSIBLE;
  const int rate = int(src->nSamplesPerSec), ch = src->nChannels;
  fillMp3(reinterpret_cast<MPEGLAYER3WAVEFORMAT*>(dst), {rate, ch, defaultBitrate(rate, ch)});
  return MMSYSERR_NOERROR;
}

// One conversion: the LAME encoder and the PCM layout it is fed.
struct Encoder {
  lame_global_flags* lame = nullptr;
  int channels = 1;
  bool flushed = false;
  std::vector<short> pcm;
};

LRESULT streamOpen(AcmDrvStreamInstance* si) {
  if (si->fdwOpen & ACM_STREAMOPENF_ASYNC) return ACMERR_NOTPOSSIBLE;
  if (si->pwfltr) return ACMERR_NOTPOSSIBLE;
  if (!isPcmSource(si->pwfxSrc)) return ACMERR_NOTPOSSIBLE;
  const int kbps = mp3Bitrate(si->pwfxSrc, si->pwfxDst);
  if (!kbps) return ACMERR_NOTPOSSIBLE;
  if (si->fdwOpen & ACM_STREAMOPENF_QUERY) return MMSYSERR_NOERROR;

  auto* e = new Encoder;
  e->channels = si->pwfxSrc->nChannels;
  e->lame = lame_init();
  if (!e->lame) {
    delete e;
    return MMSYSERR_NOMEM;
  }
  lame_set_num_channels(e->lame, e->channels);
  lame_set_in_samplerate(e->lame, int(si->pwfxSrc->nSamplesPerSec));
  lame_set_out_samplerate(e->lame, int(si->pwfxSrc->nSamplesPerSec));
  lame_set_mode(e->lame, e->channels == 1 ? MONO : JOINT_STEREO);
  lame_set_VBR(e->lame, vbr_off);
  lame_set_brate(e->lame, kbps);
  lame_set_quality(e->lame, 5);
  // Plain frames only: no VBR/info frame (the stream cannot go back to fill it
  // in) and no ID3 tags in the middle of someone's track.
  lame_set_bWriteVbrTag(e->lame, 0);
  lame_set_write_id3tag_automatic(e->lame, 0);
  if (lame_init_params(e->lame) < 0) {
    lame_close(e->lame);
    delete e;
    return ACMERR_NOTPOSSIBLE;
  }
  si->dwDriver = reinterpret_cast<DWORD_PTR>(e);
  return MMSYSERR_NOERROR;
}

LRESULT streamClose(AcmDrvStreamInstance* si) {
  auto* e = reinterpret_cast<Encoder*>(si->dwDriver);
  if (e) {
    lame_close(e->lame);
    delete e;
    si->dwDriver = 0;
  }
  return MMSYSERR_NOERROR;
}

// LAME's own bound for one encode call is 1.25 x samples + 7,200 bytes; the
// flush needs up to 7,200 more.
constexpr DWORD kLameSlack = 7200;

DWORD worstCaseOutput(DWORD samples) { return samples + samples / 4 + 1 + 2 * kLameSlack; }

LRESULT streamSize(AcmDrvStreamInstance* si, AcmDrvStreamSize* ss) {
  const DWORD block = si->pwfxSrc->nBlockAlign;
  switch (ss->fdwSize & ACM_STREAMSIZEF_QUERYMASK) {
    case ACM_STREAMSIZEF_SOURCE: {
      const DWORD samples = ss->cbSrcLength / block;
      ss->cbDstLength = worstCaseOutput(samples);
      return MMSYSERR_NOERROR;
    }
    case ACM_STREAMSIZEF_DESTINATION: {
      // The source whose coding surely fits: invert the bound above.
      if (ss->cbDstLength <= 2 * kLameSlack + 1) return ACMERR_NOTPOSSIBLE;
      const DWORD samples = (ss->cbDstLength - 2 * kLameSlack - 1) * 4 / 5;
      if (samples == 0) return ACMERR_NOTPOSSIBLE;
      ss->cbSrcLength = samples * block;
      return MMSYSERR_NOERROR;
    }
    default:
      return MMSYSERR_NOTSUPPORTED;
  }
}

LRESULT streamConvert(AcmDrvStreamInstance* si, AcmDrvStreamHeader* h) {
  auto* e = reinterpret_cast<Encoder*>(si->dwDriver);
  if (!e) return MMSYSERR_INVALHANDLE;
  const bool end = (h->fdwConvert & ACM_STREAMCONVERTF_END) != 0;
  const DWORD block = si->pwfxSrc->nBlockAlign;
  h->cbSrcLengthUsed = 0;
  h->cbDstLengthUsed = 0;
  if (e->flushed) return end ? MMSYSERR_NOERROR : ACMERR_NOTPOSSIBLE;

  // Take only as many whole sample frames as the destination surely holds.
  DWORD samples = h->cbSrcLength / block;
  const DWORD room = h->cbDstLength;
  const DWORD fits = room > 2 * kLameSlack + 1 ? (room - 2 * kLameSlack - 1) * 4 / 5 : 0;
  samples = std::min(samples, fits);
  if (samples == 0 && !(end && h->cbSrcLength / block == 0)) return MMSYSERR_NOERROR;

  int made = 0;
  if (samples) {
    e->pcm.resize(std::size_t(samples) * e->channels);
    std::memcpy(e->pcm.data(), h->pbSrc, std::size_t(samples) * block);  // unaligned source
    made = e->channels == 2
               ? lame_encode_buffer_interleaved(e->lame, e->pcm.data(), int(samples), h->pbDst, int(room))
               : lame_encode_buffer(e->lame, e->pcm.data(), e->pcm.data(), int(samples), h->pbDst, int(room));
    if (made < 0) return ACMERR_NOTPOSSIBLE;
  }
  DWORD used = samples * block;
  // Flush only when every whole frame offered was taken: later data after a
  // flush could not be coded.
  if (end && samples == h->cbSrcLength / block) {
    const int tail = lame_encode_flush(e->lame, h->pbDst + made, int(room - DWORD(made)));
    if (tail < 0) return ACMERR_NOTPOSSIBLE;
    made += tail;
    e->flushed = true;
    used = h->cbSrcLength;  // a partial sample frame at the very end is dropped
  }
  h->cbSrcLengthUsed = used;
  h->cbDstLengthUsed = DWORD(made);
  return MMSYSERR_NOERROR;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT WINAPI DriverProc(DWORD_PTR id, HDRVR hdrvr, UINT msg, LPARAM p1,
                                                           LPARAM p2) {
  switch (msg) {
    case DRV_LOAD:
    case DRV_FREE:
    case DRV_ENABLE:
    case DRV_DISABLE:
      return 1;
    case DRV_OPEN: {
      auto* desc = reinterpret_cast<AcmDrvOpenDescW*>(p2);
      if (desc) {
        if (desc->fccType != ACMDRIVERDETAILS_FCCTYPE_AUDIOCODEC) return 0;
        desc->dwError = MMSYSERR_NOERROR;
      }
      return 1;  // any non-zero id; nothing is kept per open
    }
    case DRV_CLOSE:
      return 1;
    case DRV_QUERYCONFIGURE:
      return 0;
    case DRV_CONFIGURE:
      return DRVCNF_OK;
    case DRV_INSTALL:
    case DRV_REMOVE:
      return DRVCNF_OK;
    case kDmDriverNotify:
      return MMSYSERR_NOERROR;
    case kDmDriverDetails:
      return driverDetails(reinterpret_cast<ACMDRIVERDETAILSW*>(p1));
    case kDmDriverAbout:
      return MMSYSERR_NOTSUPPORTED;
    case kDmFormattagDetails:
      return formatTagDetails(reinterpret_cast<ACMFORMATTAGDETAILSW*>(p1), DWORD(p2));
    case kDmFormatDetails:
      return formatDetails(reinterpret_cast<ACMFORMATDETAILSW*>(p1), DWORD(p2));
    case kDmFormatSuggest:
      return formatSuggest(reinterpret_cast<AcmDrvFormatSuggest*>(p1));
    case kDmStreamOpen:
      return streamOpen(reinterpret_cast<AcmDrvStreamInstance*>(p1));
    case kDmStreamClose:
      return streamClose(reinterpret_cast<AcmDrvStreamInstance*>(p1));
    case kDmStreamSize:
      return streamSize(reinterpret_cast<AcmDrvStreamInstance*>(p1), reinterpret_cast<AcmDrvStreamSize*>(p2));
    case kDmStreamConvert:
      return streamConvert(reinterpret_cast<AcmDrvStreamInstance*>(p1),
                           reinterpret_cast<AcmDrvStreamHeader*>(p2));
    case kDmStreamReset:
      return MMSYSERR_NOERROR;
    case kDmStreamPrepare:
    case kDmStreamUnprepare:
      return MMSYSERR_NOTSUPPORTED;  // the ACM prepares the headers itself
    default:
      if (msg >= kAcmdmBase) return MMSYSERR_NOTSUPPORTED;
      return DefDriverProc(id, hdrvr, msg, p1, p2);
  }
}
