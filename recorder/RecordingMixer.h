// The recording mixer: the one object through which the program steers the
// Windows mixer that feeds the sound server. It finds the recording (wave-in)
// destination of the default recording device, lists its source lines, tells
// and changes the selected source (the destination's MIXER or MUX list
// control), reads and sets volumes and mute switches, and reaches the
// microphone line of the playback mixer for the microphone monitor.
//
// Every mixer call goes through MixerApi, a small table that mirrors the
// multimedia mixer functions one for one; RecordingMixer_win.cpp passes them to
// winmm and tests pass a fake, so the logic here is portable. Failures are
// answered with the operation's failure value, never with an exception.
// Portable: no <windows.h>. GUI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Classes.h"
#include "System.h"

// ---- the platform's mixer, as recvolclass uses it ---------------------------
using MixerHandle = uintptr_t;  // HMIXER; 0 = none

// The winmm values of the line and control types used here (checked against
// <mmsystem.h> in RecordingMixer_win.cpp).
constexpr uint32_t kMixerDstWaveIn = 7;               // MIXERLINE_COMPONENTTYPE_DST_WAVEIN
constexpr uint32_t kMixerSrcMicrophone = 0x1003;      // MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE
constexpr uint32_t kMixerCtlVolume = 0x50030001;      // MIXERCONTROL_CONTROLTYPE_VOLUME
constexpr uint32_t kMixerCtlMute = 0x20010002;        // MIXERCONTROL_CONTROLTYPE_MUTE
constexpr uint32_t kMixerCtlMixer = 0x71010001;       // MIXERCONTROL_CONTROLTYPE_MIXER
constexpr uint32_t kMixerCtlMux = 0x70010001;         // MIXERCONTROL_CONTROLTYPE_MUX

struct MixerLine {
  uint32_t lineId = 0;
  uint32_t destination = 0;    // destination index, for source lookups
  uint32_t componentType = 0;
  uint32_t connections = 0;    // source lines of a destination
  std::wstring name;           // the line's full name
};

struct MixerControl {
  uint32_t controlId = 0;
  uint32_t type = 0;
  uint32_t items = 0;          // list entries of a MIXER or MUX control, else 0
  uint32_t minimum = 0;
  uint32_t maximum = 0;
};

// One entry of a list control: the line it stands for and its name.
struct MixerListItem {
  uint32_t lineId = 0;
  std::wstring name;
};

class MixerApi {
public:
  virtual ~MixerApi() = default;
  // Opens the wave mapper for input (output) with a PCM mono 16-bit format of
  // the given rate, takes the mixer id of the opened handle and closes it
  // again. False when the mapper refuses the format or has no device.
  virtual bool waveInMixerId(uint32_t samplesPerSec, uint32_t& mixerId) = 0;
  virtual bool waveOutMixerId(uint32_t samplesPerSec, uint32_t& mixerId) = 0;
  // The mixer id of a wave device by device number (mixerGetID on the
  // device id, nothing opened). False when there is no such device or mixer.
  virtual bool waveInDeviceMixerId(uint32_t device, uint32_t& mixerId) = 0;
  virtual bool waveOutDeviceMixerId(uint32_t device, uint32_t& mixerId) = 0;
  // Product name of a wave-in device.
  virtual bool waveInDeviceName(uint32_t device, std::wstring& name) = 0;
  virtual bool open(uint32_t mixerId, MixerHandle& mixer) = 0;
  virtual void close(MixerHandle mixer) = 0;
  // mixerGetLineInfo by component type, by destination and source index, and
  // by line id.
  virtual bool lineByType(MixerHandle mixer, uint32_t componentType, MixerLine& line) = 0;
  virtual bool lineBySource(MixerHandle mixer, uint32_t destination, uint32_t source, MixerLine& line) = 0;
  virtual bool lineById(MixerHandle mixer, uint32_t lineId, MixerLine& line) = 0;
  // mixerGetLineControls, one control of the line by type.
  virtual bool controlByType(MixerHandle mixer, uint32_t lineId, uint32_t controlType, MixerControl& control) = 0;
  // The entries of a list control (control.items of them).
  virtual bool listTexts(MixerHandle mixer, const MixerControl& control, std::vector<MixerListItem>& items) = 0;
  // One channel of 4-byte values: one per list entry for a list control,
  // else exactly one.
  virtual bool values(MixerHandle mixer, const MixerControl& control, std::vector<uint32_t>& values) = 0;
  virtual bool setValues(MixerHandle mixer, const MixerControl& control, const std::vector<uint32_t>& values) = 0;
};

// winmm (RecordingMixer_win.cpp); Windows only.
MixerApi& systemMixerApi();

// ---- the mixer object --------------------------------------------------------
class recvolclass {
public:
  static constexpr int kMaxSources = 20;
  static constexpr int kNameBytes = 32;  // CP936 bytes kept of a source name
  // The wave-in probe's rate: 11050, as the program has always probed (the
  // probe only picks the mixer and records nothing); the usual 11025 is tried
  // when a mapper refuses the odd rate, so such a card still names its mixer.
  static constexpr uint32_t kProbeRate = 11050;
  static constexpr uint32_t kProbeRateFallback = 11025;

  recvolclass();                        // the system's mixer (Windows only)
  explicit recvolclass(MixerApi& api);  // any mixer table
  ~recvolclass();
  recvolclass(const recvolclass&) = delete;
  recvolclass& operator=(const recvolclass&) = delete;

  // Appends the source names in source order; nothing when unusable.
  void listSources(TStringList* list) const;
  // Index of the selected source, -1 when it cannot be told.
  int selectedSource();
  bool selectSource(int index);
  // index: a source 0..sourceCount-1, or -1 for the recording destination.
  int lineVolume(int index);                  // 0-100, -1 on failure
  bool setLineVolume(int index, int percent);  // percent 0-100
  int lineMuted(int index);                    // 1 muted, 0 not, -1 failure
  int setLineMute(int index, bool mute);       // 1 set, 0 not set, -1 unusable or out of range
  // The microphone line of the playback mixer.
  int micMonitorMuted();
  bool setMicMonitorMute(bool mute);
  int micMonitorVolume();
  bool setMicMonitorVolume(int percent);

  // Read by the sound page directly.
  uint32_t sourceLineIds[kMaxSources] = {};
  char sourceNames[kMaxSources][kNameBytes + 1] = {};
  int32_t sourceCount = 0;
  MixerHandle recordMixer = 0;
  MixerHandle playMixer = 0;
  uint8_t mixerUnusable = 1;
  uint8_t sourceListUnknown = 0;
  uint32_t destinationLineId = 0;
  int32_t sourceMuted[kMaxSources] = {};
  char deviceName[32] = {};

private:
  void build();
  bool sourceIndexOk(int index) const { return index >= 0 && index < sourceCount; }
  // The line an index names (-1: the destination); false when out of range.
  bool lineOf(int index, uint32_t& lineId) const;
  bool findSelector(MixerControl& control, std::vector<MixerListItem>& items);
  int readVolume(MixerHandle mixer, uint32_t lineId);
  bool writeVolume(MixerHandle mixer, uint32_t lineId, int percent);
  int readMute(MixerHandle mixer, uint32_t lineId);
  bool writeMute(MixerHandle mixer, uint32_t lineId, bool mute);
  bool micLine(uint32_t& lineId);

  MixerApi& api_;
};

// ---- volume arithmetic --------------------------------------------------------
// Control value -> percent, truncated; -1 for a control without range. A
// value above the maximum reads as 100.
int mixerValueToPercent(uint32_t value, uint32_t maximum);
// Percent 0-100 -> control value: the maximum times the percent as a
// fraction, truncated.
uint32_t mixerPercentToValue(int percent, uint32_t maximum);

// ---- source names ---------------------------------------------------------------
// The explanation shown beside the source list for a source name (CP936).
AnsiString sourceLineCaption(const AnsiString& name);
// A stereo-mix line (the computer's own playback): "mix" or "混" in its name.
bool isStereoMixName(const AnsiString& name);
// Index of the first stereo-mix entry of the source list, -1 when none.
int firstStereoMixItem(const TStringList& items);

// ---- keeping the user's choice ----------------------------------------------------
// Re-applies a saved source and volume when the mixer has drifted from them:
// selects the source when another one is selected, then sets the volume when
// the source's volume differs. Does nothing when the selected source cannot
// be told or a saved value is negative. The callers decide when it runs.
void applyKeptMixerSettings(recvolclass& mixer, int savedSource, int savedVolume);
