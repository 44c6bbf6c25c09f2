// The MixerApi table over winmm's wide mixer and wave functions, and the
// recording mixer built on the system's mixer. Each entry is one call (or the
// open-ask-close of a wave probe); all logic stays in RecordingMixer.cpp.
// Names come from the W functions and are turned into CP936 there.
#include <windows.h>
#include <mmsystem.h>

#include <vector>

#include "RecordingMixer.h"

static_assert(kMixerDstWaveIn == MIXERLINE_COMPONENTTYPE_DST_WAVEIN, "mixer type");
static_assert(kMixerSrcMicrophone == MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, "mixer type");
static_assert(kMixerCtlVolume == MIXERCONTROL_CONTROLTYPE_VOLUME, "control type");
static_assert(kMixerCtlMute == MIXERCONTROL_CONTROLTYPE_MUTE, "control type");
static_assert(kMixerCtlMixer == MIXERCONTROL_CONTROLTYPE_MIXER, "control type");
static_assert(kMixerCtlMux == MIXERCONTROL_CONTROLTYPE_MUX, "control type");

namespace {

HMIXEROBJ obj(MixerHandle h) { return reinterpret_cast<HMIXEROBJ>(h); }

WAVEFORMATEX probeFormat(uint32_t rate) {
  WAVEFORMATEX f = {};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = 1;
  f.nSamplesPerSec = rate;
  f.wBitsPerSample = 16;
  f.nBlockAlign = 2;
  f.nAvgBytesPerSec = rate * 2;
  return f;
}

// A fixed WCHAR field, up to its first NUL and never past its end.
template <std::size_t N>
std::wstring fieldText(const WCHAR (&field)[N]) {
  std::size_t n = 0;
  while (n < N && field[n]) ++n;
  return std::wstring(field, field + n);
}

class SystemMixer : public MixerApi {
public:
  bool waveInMixerId(uint32_t rate, uint32_t& mixerId) override {
    WAVEFORMATEX f = probeFormat(rate);
    HWAVEIN wi = nullptr;
    if (waveInOpen(&wi, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return false;
    UINT id = 0;
    const bool ok = mixerGetID(reinterpret_cast<HMIXEROBJ>(wi), &id, MIXER_OBJECTF_HWAVEIN) == MMSYSERR_NOERROR;
    waveInClose(wi);
    if (ok) mixerId = id;
    return ok;
  }
  bool waveOutMixerId(uint32_t rate, uint32_t& mixerId) override {
    WAVEFORMATEX f = probeFormat(rate);
    HWAVEOUT wo = nullptr;
    if (waveOutOpen(&wo, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return false;
    UINT id = 0;
    const bool ok = mixerGetID(reinterpret_cast<HMIXEROBJ>(wo), &id, MIXER_OBJECTF_HWAVEOUT) == MMSYSERR_NOERROR;
    waveOutClose(wo);
    if (ok) mixerId = id;
    return ok;
  }
  bool waveInDeviceMixerId(uint32_t device, uint32_t& mixerId) override {
    if (device >= waveInGetNumDevs()) return false;
    UINT id = 0;
    if (mixerGetID(reinterpret_cast<HMIXEROBJ>(uintptr_t(device)), &id, MIXER_OBJECTF_WAVEIN) != MMSYSERR_NOERROR)
      return false;
    mixerId = id;
    return true;
  }
  bool waveOutDeviceMixerId(uint32_t device, uint32_t& mixerId) override {
    if (device >= waveOutGetNumDevs()) return false;
    UINT id = 0;
    if (mixerGetID(reinterpret_cast<HMIXEROBJ>(uintptr_t(device)), &id, MIXER_OBJECTF_WAVEOUT) != MMSYSERR_NOERROR)
      return false;
    mixerId = id;
    return true;
  }
  bool waveInDeviceName(uint32_t device, std::wstring& name) override {
    WAVEINCAPSW caps = {};
    if (waveInGetDevCapsW(device, &caps, sizeof caps) != MMSYSERR_NOERROR) return false;
    name = fieldText(caps.szPname);
    return true;
  }
  bool open(uint32_t mixerId, MixerHandle& mixer) override {
    HMIXER h = nullptr;
    if (mixerOpen(&h, mixerId, 0, 0, MIXER_OBJECTF_MIXER) != MMSYSERR_NOERROR || !h) return false;
    mixer = reinterpret_cast<MixerHandle>(h);
    return true;
  }
  void close(MixerHandle mixer) override { mixerClose(reinterpret_cast<HMIXER>(mixer)); }

  bool lineByType(MixerHandle mixer, uint32_t componentType, MixerLine& line) override {
    MIXERLINEW l = {};
    l.cbStruct = sizeof l;
    l.dwComponentType = componentType;
    return lineInfo(mixer, l, MIXER_GETLINEINFOF_COMPONENTTYPE, line);
  }
  bool lineBySource(MixerHandle mixer, uint32_t destination, uint32_t source, MixerLine& line) override {
    MIXERLINEW l = {};
    l.cbStruct = sizeof l;
    l.dwDestination = destination;
    l.dwSource = source;
    return lineInfo(mixer, l, MIXER_GETLINEINFOF_SOURCE, line);
  }
  bool lineById(MixerHandle mixer, uint32_t lineId, MixerLine& line) override {
    MIXERLINEW l = {};
    l.cbStruct = sizeof l;
    l.dwLineID = lineId;
    return lineInfo(mixer, l, MIXER_GETLINEINFOF_LINEID, line);
  }

  bool controlByType(MixerHandle mixer, uint32_t lineId, uint32_t controlType, MixerControl& control) override {
    MIXERCONTROLW c = {};
    c.cbStruct = sizeof c;
    MIXERLINECONTROLSW lc = {};
    lc.cbStruct = sizeof lc;
    lc.dwLineID = lineId;
    lc.dwControlType = controlType;
    lc.cControls = 1;
    lc.cbmxctrl = sizeof c;
    lc.pamxctrl = &c;
    if (mixerGetLineControlsW(obj(mixer), &lc, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) !=
        MMSYSERR_NOERROR)
      return false;
    control.controlId = c.dwControlID;
    control.type = c.dwControlType;
    control.items = (c.fdwControl & MIXERCONTROL_CONTROLF_MULTIPLE) ? c.cMultipleItems : 0;
    control.minimum = c.Bounds.dwMinimum;
    control.maximum = c.Bounds.dwMaximum;
    return true;
  }

  bool listTexts(MixerHandle mixer, const MixerControl& control, std::vector<MixerListItem>& items) override {
    if (control.items == 0) return false;
    std::vector<MIXERCONTROLDETAILS_LISTTEXTW> texts(control.items);
    MIXERCONTROLDETAILS d = details(control, texts.data(), sizeof texts[0]);
    if (mixerGetControlDetailsW(obj(mixer), &d, MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_LISTTEXT) !=
        MMSYSERR_NOERROR)
      return false;
    items.clear();
    for (const MIXERCONTROLDETAILS_LISTTEXTW& t : texts) items.push_back({t.dwParam1, fieldText(t.szName)});
    return true;
  }

  bool values(MixerHandle mixer, const MixerControl& control, std::vector<uint32_t>& values) override {
    // Unsigned and boolean details are both one 4-byte value per entry.
    // Wine answers success for the controls of a source line without filling
    // the buffer: a buffer still holding nothing but the filler was not read.
    constexpr DWORD kUnwritten = 0xFFFFFFFF;
    std::vector<DWORD> v(control.items ? control.items : 1, kUnwritten);
    MIXERCONTROLDETAILS d = details(control, v.data(), sizeof(DWORD));
    if (mixerGetControlDetailsW(obj(mixer), &d, MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE) !=
        MMSYSERR_NOERROR)
      return false;
    bool written = false;
    for (DWORD x : v) written = written || x != kUnwritten;
    if (!written) return false;
    values.assign(v.begin(), v.end());
    return true;
  }

  bool setValues(MixerHandle mixer, const MixerControl& control, const std::vector<uint32_t>& values) override {
    if (values.size() != (control.items ? control.items : 1u)) return false;
    std::vector<DWORD> v(values.begin(), values.end());
    MIXERCONTROLDETAILS d = details(control, v.data(), sizeof(DWORD));
    return mixerSetControlDetails(obj(mixer), &d, MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE) ==
           MMSYSERR_NOERROR;
  }

private:
  static bool lineInfo(MixerHandle mixer, MIXERLINEW& l, DWORD how, MixerLine& line) {
    if (mixerGetLineInfoW(obj(mixer), &l, MIXER_OBJECTF_HMIXER | how) != MMSYSERR_NOERROR) return false;
    line.lineId = l.dwLineID;
    line.destination = l.dwDestination;
    line.componentType = l.dwComponentType;
    line.connections = l.cConnections;
    line.name = fieldText(l.szName);
    return true;
  }
  // One channel: a uniform value for every channel of the control.
  static MIXERCONTROLDETAILS details(const MixerControl& control, void* data, DWORD itemSize) {
    MIXERCONTROLDETAILS d = {};
    d.cbStruct = sizeof d;
    d.dwControlID = control.controlId;
    d.cChannels = 1;
    d.cMultipleItems = control.items;
    d.cbDetails = itemSize;
    d.paDetails = data;
    return d;
  }
};

}  // namespace

MixerApi& systemMixerApi() {
  static SystemMixer mixer;
  return mixer;
}

recvolclass::recvolclass() : api_(systemMixerApi()) { build(); }
