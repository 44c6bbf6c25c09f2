// A table-driven fake of the Windows mixer for the recording-mixer tests: a
// device is a set of lines (a recording destination with its sources, and a
// playback microphone line), each with controls; list controls name their
// lines by id. Every value write is logged, and the device can refuse the
// probe rate, be missing, or vanish after it was opened. The layouts at the
// end are the ones the tests use.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "RecordingMixer.h"

struct FakeControl {
  uint32_t type = 0;
  uint32_t maximum = 65535;
  std::vector<uint32_t> lines;   // list controls: the line of each entry
  std::vector<uint32_t> values;  // one per entry, or one
  bool failRead = false, failWrite = false;
};

struct FakeLine {
  uint32_t id = 0;
  uint32_t type = 0;
  std::wstring name;
  std::vector<FakeControl> controls;
};

struct FakeDevice {
  bool hasDestination = true;
  FakeLine destination{0xFFFF0000, kMixerDstWaveIn, L"Recording Control", {}};
  std::vector<FakeLine> sources;
  uint32_t extraConnections = 0;  // reported but not describable
  std::vector<FakeLine> others;   // playback lines (the microphone monitor)
};

struct FakeWrite {
  uint32_t lineId;
  uint32_t type;
  std::vector<uint32_t> values;
};

class FakeMixer : public MixerApi {
public:
  std::map<uint32_t, FakeDevice> devices;  // by mixer id
  uint32_t waveInMixer = 0, waveOutMixer = 0;
  bool waveInPresent = true, waveOutPresent = true;
  uint32_t refusedRate = 0;       // the mappers refuse this probe rate
  bool mapperWithoutId = false;   // the mappers open but cannot name their mixer
  std::wstring waveInName = L"Fake Audio In";
  bool gone = false;              // the device was unplugged: every call fails
  // What happened.
  std::vector<FakeWrite> writes;
  std::vector<uint32_t> probedRates;
  int opens = 0, closes = 0, listReads = 0, sourcesAsked = 0;
  std::vector<MixerHandle> closed;

  bool waveInMixerId(uint32_t rate, uint32_t& id) override {
    probedRates.push_back(rate);
    if (!waveInPresent || rate == refusedRate || mapperWithoutId) return false;
    id = waveInMixer;
    return true;
  }
  bool waveOutMixerId(uint32_t rate, uint32_t& id) override {
    if (!waveOutPresent || rate == refusedRate || mapperWithoutId) return false;
    id = waveOutMixer;
    return true;
  }
  bool waveInDeviceMixerId(uint32_t device, uint32_t& id) override {
    if (device != 0 || !waveInPresent) return false;
    id = waveInMixer;
    return true;
  }
  bool waveOutDeviceMixerId(uint32_t device, uint32_t& id) override {
    if (device != 0 || !waveOutPresent) return false;
    id = waveOutMixer;
    return true;
  }
  bool waveInDeviceName(uint32_t device, std::wstring& name) override {
    if (device != 0 || !waveInPresent) return false;
    name = waveInName;
    return true;
  }
  bool open(uint32_t id, MixerHandle& h) override {
    if (gone || !devices.count(id)) return false;
    ++opens;
    h = 0x100 * (id + 1) + uint32_t(opens);
    handles[h] = id;
    return true;
  }
  void close(MixerHandle h) override {
    ++closes;
    closed.push_back(h);
  }

  bool lineByType(MixerHandle h, uint32_t type, MixerLine& out) override {
    FakeDevice* d = device(h);
    if (!d) return false;
    if (type == kMixerDstWaveIn) {
      if (!d->hasDestination) return false;
      return fill(d->destination, uint32_t(d->sources.size()) + d->extraConnections, out);
    }
    for (FakeLine& l : d->others)
      if (l.type == type) return fill(l, 0, out);
    return false;
  }
  bool lineBySource(MixerHandle h, uint32_t destination, uint32_t source, MixerLine& out) override {
    ++sourcesAsked;
    FakeDevice* d = device(h);
    if (!d || !d->hasDestination || destination != 0 || source >= d->sources.size()) return false;
    return fill(d->sources[source], 0, out);
  }
  bool lineById(MixerHandle h, uint32_t id, MixerLine& out) override {
    FakeLine* l = line(h, id);
    return l && fill(*l, 0, out);
  }
  bool controlByType(MixerHandle h, uint32_t lineId, uint32_t type, MixerControl& c) override {
    FakeLine* l = line(h, lineId);
    if (!l) return false;
    for (std::size_t i = 0; i < l->controls.size(); ++i) {
      const FakeControl& fc = l->controls[i];
      if (fc.type != type) continue;
      c.controlId = keyOf(lineId, i);
      c.type = type;
      c.items = uint32_t(fc.lines.size());
      c.minimum = 0;
      c.maximum = fc.maximum;
      return true;
    }
    return false;
  }
  bool listTexts(MixerHandle h, const MixerControl& c, std::vector<MixerListItem>& items) override {
    ++listReads;
    FakeControl* fc = control(h, c);
    if (!fc || fc->failRead || c.items != fc->lines.size()) return false;
    items.clear();
    for (uint32_t id : fc->lines) {
      FakeLine* l = line(h, id);
      items.push_back({id, l ? l->name : L"?"});
    }
    return true;
  }
  bool values(MixerHandle h, const MixerControl& c, std::vector<uint32_t>& v) override {
    ++listReads;
    FakeControl* fc = control(h, c);
    if (!fc || fc->failRead || fc->values.size() != (c.items ? c.items : 1u)) return false;
    v = fc->values;
    return true;
  }
  bool setValues(MixerHandle h, const MixerControl& c, const std::vector<uint32_t>& v) override {
    FakeControl* fc = control(h, c);
    if (!fc || fc->failWrite || v.size() != (c.items ? c.items : 1u)) return false;
    fc->values = v;
    writes.push_back({keys[c.controlId].first, c.type, v});
    return true;
  }

  // ---- test access -----------------------------------------------------------
  FakeControl* find(uint32_t mixerId, uint32_t lineId, uint32_t type) {
    FakeLine* l = lineIn(devices[mixerId], lineId);
    if (!l) return nullptr;
    for (FakeControl& c : l->controls)
      if (c.type == type) return &c;
    return nullptr;
  }

private:
  std::map<MixerHandle, uint32_t> handles;

  FakeDevice* device(MixerHandle h) {
    if (gone) return nullptr;
    auto it = handles.find(h);
    if (it == handles.end()) return nullptr;
    for (MixerHandle c : closed)
      if (c == h) return nullptr;  // a closed handle is dead
    return &devices[it->second];
  }
  static FakeLine* lineIn(FakeDevice& d, uint32_t id) {
    if (d.hasDestination && d.destination.id == id) return &d.destination;
    for (FakeLine& l : d.sources)
      if (l.id == id) return &l;
    for (FakeLine& l : d.others)
      if (l.id == id) return &l;
    return nullptr;
  }
  FakeLine* line(MixerHandle h, uint32_t id) {
    FakeDevice* d = device(h);
    return d ? lineIn(*d, id) : nullptr;
  }
  // Control ids: positions in a table of (line, control index) pairs.
  std::vector<std::pair<uint32_t, std::size_t>> keys;
  uint32_t keyOf(uint32_t lineId, std::size_t index) {
    for (std::size_t k = 0; k < keys.size(); ++k)
      if (keys[k] == std::make_pair(lineId, index)) return uint32_t(k);
    keys.emplace_back(lineId, index);
    return uint32_t(keys.size() - 1);
  }
  FakeControl* control(MixerHandle h, const MixerControl& c) {
    if (c.controlId >= keys.size()) return nullptr;
    FakeLine* l = line(h, keys[c.controlId].first);
    if (!l || keys[c.controlId].second >= l->controls.size()) return nullptr;
    return &l->controls[keys[c.controlId].second];
  }
  static bool fill(const FakeLine& l, uint32_t connections, MixerLine& out) {
    out.lineId = l.id;
    out.destination = 0;
    out.componentType = l.type;
    out.connections = connections;
    out.name = l.name;
    return true;
  }
};

// ---- layouts ---------------------------------------------------------------------
inline FakeControl volume(uint32_t value, uint32_t maximum = 65535) {
  FakeControl c;
  c.type = kMixerCtlVolume;
  c.maximum = maximum;
  c.values = {value};
  return c;
}
inline FakeControl mute(bool on) {
  FakeControl c;
  c.type = kMixerCtlMute;
  c.values = {on ? 1u : 0u};
  return c;
}
// A list control over the given lines, the entry of `selected` set.
inline FakeControl selector(uint32_t type, std::vector<uint32_t> lines, uint32_t selected) {
  FakeControl c;
  c.type = type;
  c.lines = lines;
  for (uint32_t id : lines) c.values.push_back(id == selected ? 1u : 0u);
  return c;
}

constexpr uint32_t kMicLine = 0x10000, kLineInLine = 0x10001, kStereoMixLine = 0x10002;
constexpr uint32_t kPlayMicLine = 0x20003;

// Mixer 0 records, mixer 1 plays. Three sources; the MUX lists them in the
// opposite order to the sources, as many drivers do, with "Line In" selected.
inline FakeMixer muxThreeSources() {
  FakeMixer m;
  m.waveInMixer = 0;
  m.waveOutMixer = 1;
  FakeDevice& rec = m.devices[0];
  rec.destination.controls = {volume(32768), mute(true),
                              selector(kMixerCtlMux, {kStereoMixLine, kLineInLine, kMicLine}, kLineInLine)};
  rec.sources = {{kMicLine, 0x1003, L"Microphone", {volume(65535), mute(false)}},
                 {kLineInLine, 0x1002, L"Line In", {volume(13107), mute(true)}},
                 {kStereoMixLine, 0x1000, L"Stereo Mix", {mute(false)}}};  // no volume of its own
  FakeDevice& play = m.devices[1];
  play.hasDestination = false;
  play.others = {{kPlayMicLine, kMixerSrcMicrophone, L"Mic Volume", {volume(6553), mute(true)}}};
  return m;
}

// The same sources behind a MIXER control (several sources at once) beside a
// stale MUX that the MIXER control takes precedence over.
inline FakeMixer mixerControlLayout() {
  FakeMixer m = muxThreeSources();
  FakeDevice& rec = m.devices[0];
  rec.destination.controls = {volume(32768), mute(false),
                              selector(kMixerCtlMux, {kMicLine, kLineInLine, kStereoMixLine}, kMicLine),
                              selector(kMixerCtlMixer, {kMicLine, kLineInLine, kStereoMixLine}, kStereoMixLine)};
  return m;
}

// A mixer that plays but has no recording destination.
inline FakeMixer noRecordingLine() {
  FakeMixer m = muxThreeSources();
  m.devices[0].hasDestination = false;
  m.devices[0].sources.clear();
  return m;
}

// No sound card: the mappers fail and there is no mixer to open.
inline FakeMixer noDevice() {
  FakeMixer m;
  m.waveInPresent = m.waveOutPresent = false;
  return m;
}
