// The recording mixer's logic over the MixerApi table: finding the wave-in
// destination and its sources, the selected-source list control, volumes,
// mute switches and the microphone monitor, plus the source-name rules of the
// sound page and the keep-the-user's-choice rule. Portable: every platform
// call goes through MixerApi, and every answer of it is checked before use
// (a driver may report any count, and a device may vanish at any moment).
#include "RecordingMixer.h"

#include <algorithm>
#include <cstring>

#include "SysUtils.h"

namespace {

// A list control longer than this is a broken driver, not a sound card.
constexpr uint32_t kMaxListItems = 256;

bool isLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// Copies CP936 text into a fixed buffer of maxBytes + 1, cut on a character
// boundary so that a two-byte character is never split in half.
void copyCut(char* dst, std::size_t maxBytes, const AnsiString& text) {
  const std::string& s = text.str();
  std::size_t n = 0;
  while (n < s.size()) {
    const std::size_t step = isLead(static_cast<unsigned char>(s[n])) ? 2 : 1;
    if (n + step > s.size() || n + step > maxBytes) break;
    n += step;
  }
  std::memcpy(dst, s.data(), n);
  dst[n] = '\0';
}

void copyName(char* dst, std::size_t maxBytes, const std::wstring& name) {
  // A driver's fixed name field need not end where its text does.
  const std::size_t end = name.find(L'\0');
  copyCut(dst, maxBytes, WideToCp936(end == std::wstring::npos ? name : name.substr(0, end)));
}

// Searches whole characters only: a byte search for a two-byte character
// could match the trail byte of one character and the lead byte of the next.
bool containsText(const AnsiString& hay, const char* needle) {
  const std::string& s = hay.str();
  const std::size_t n = std::strlen(needle);
  for (std::size_t i = 0; i + n <= s.size();) {
    if (s.compare(i, n, needle) == 0) return true;
    i += isLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
  }
  return false;
}

}  // namespace

// ---- volume arithmetic --------------------------------------------------------
int mixerValueToPercent(uint32_t value, uint32_t maximum) {
  if (maximum == 0) return -1;
  const uint64_t percent = uint64_t(value) * 100 / maximum;
  return percent > 100 ? 100 : int(percent);
}

uint32_t mixerPercentToValue(int percent, uint32_t maximum) {
  // The control's maximum times the percent as a fraction, truncated. A value
  // written this way can read back one lower (37 of 65535 gives 24247, which
  // reads as 36).
  // In extended precision on every build, so that the 32-bit program and the
  // native tests truncate alike (29 % of 100 is 29, not 28.999...).
  const int p = std::clamp(percent, 0, 100);
  return uint32_t(static_cast<long double>(maximum) * (static_cast<long double>(p) * static_cast<long double>(0.01)));
}

// ---- construction -------------------------------------------------------------
recvolclass::recvolclass(MixerApi& api) : api_(api) { build(); }

recvolclass::~recvolclass() {
  if (recordMixer) api_.close(recordMixer);
  if (playMixer) api_.close(playMixer);
}

void recvolclass::build() {
  std::fill(std::begin(sourceMuted), std::end(sourceMuted), -1);

  // The wave mapper leads to the default recording device; its mixer is the
  // one to steer. Some systems open the mapper but cannot name its mixer (a
  // mapper handle is no device handle there): then wave-in device 0's mixer,
  // since mixer 0 is often the playback mixer. Without any, mixer 0.
  uint32_t inId = 0;
  if (api_.waveInMixerId(kProbeRate, inId) || api_.waveInMixerId(kProbeRateFallback, inId) ||
      api_.waveInDeviceMixerId(0, inId)) {
    std::wstring name;
    if (api_.waveInDeviceName(0, name)) copyName(deviceName, sizeof deviceName - 1, name);
  } else {
    inId = 0;
  }
  MixerHandle h = 0;
  if (!api_.open(inId, h)) return;  // no mixer at all: no playback side either
  recordMixer = h;

  MixerLine dst;
  if (api_.lineByType(recordMixer, kMixerDstWaveIn, dst)) {
    // Without a recording destination nothing here can work; the mixer stays
    // unusable (and open, to be closed) and the source list empty.
    mixerUnusable = 0;
    destinationLineId = dst.lineId;
    const uint32_t n = std::min<uint32_t>(dst.connections, kMaxSources);
    for (uint32_t s = 0; s < n; ++s) {
      MixerLine src;
      // A source the driver cannot describe is left out: selection goes by
      // line id, so the list stays consistent without it.
      if (!api_.lineBySource(recordMixer, dst.destination, s, src)) continue;
      sourceLineIds[sourceCount] = src.lineId;
      copyName(sourceNames[sourceCount], kNameBytes, src.name);
      ++sourceCount;
    }
    for (int i = 0; i < sourceCount; ++i) sourceMuted[i] = lineMuted(i);
    setLineMute(-1, false);
  }

  uint32_t outId = 0;
  if (!api_.waveOutMixerId(kProbeRate, outId) && !api_.waveOutMixerId(kProbeRateFallback, outId) &&
      !api_.waveOutDeviceMixerId(0, outId))
    outId = 0;
  MixerHandle p = 0;
  if (api_.open(outId, p)) playMixer = p;
}

// ---- control access -----------------------------------------------------------
bool recvolclass::lineOf(int index, uint32_t& lineId) const {
  if (index == -1) {
    lineId = destinationLineId;
    return true;
  }
  if (!sourceIndexOk(index)) return false;
  lineId = sourceLineIds[index];
  return true;
}

int recvolclass::readVolume(MixerHandle mixer, uint32_t lineId) {
  MixerControl c;
  if (!api_.controlByType(mixer, lineId, kMixerCtlVolume, c)) return -1;
  c.items = 0;  // one value, all channels alike
  std::vector<uint32_t> v;
  if (!api_.values(mixer, c, v) || v.size() != 1) return -1;
  return mixerValueToPercent(v[0], c.maximum);
}

bool recvolclass::writeVolume(MixerHandle mixer, uint32_t lineId, int percent) {
  MixerControl c;
  if (!api_.controlByType(mixer, lineId, kMixerCtlVolume, c)) return false;
  c.items = 0;
  return api_.setValues(mixer, c, {mixerPercentToValue(percent, c.maximum)});
}

int recvolclass::readMute(MixerHandle mixer, uint32_t lineId) {
  MixerControl c;
  if (!api_.controlByType(mixer, lineId, kMixerCtlMute, c)) return -1;
  c.items = 0;
  std::vector<uint32_t> v;
  if (!api_.values(mixer, c, v) || v.size() != 1) return -1;
  return v[0] ? 1 : 0;
}

bool recvolclass::writeMute(MixerHandle mixer, uint32_t lineId, bool mute) {
  MixerControl c;
  if (!api_.controlByType(mixer, lineId, kMixerCtlMute, c)) return false;
  c.items = 0;
  return api_.setValues(mixer, c, {mute ? 1u : 0u});
}

// The destination's source selector: a MIXER control (several sources at
// once) where the driver has one, else a MUX (exactly one), with its entries.
bool recvolclass::findSelector(MixerControl& control, std::vector<MixerListItem>& items) {
  MixerLine dst;
  if (!api_.lineByType(recordMixer, kMixerDstWaveIn, dst)) return false;
  if (!api_.controlByType(recordMixer, dst.lineId, kMixerCtlMixer, control) &&
      !api_.controlByType(recordMixer, dst.lineId, kMixerCtlMux, control))
    return false;
  if (control.items == 0 || control.items > kMaxListItems) return false;
  items.clear();
  return api_.listTexts(recordMixer, control, items) && items.size() == control.items;
}

// ---- operations ---------------------------------------------------------------
void recvolclass::listSources(TStringList* list) const {
  if (mixerUnusable || !list) return;
  for (int i = 0; i < sourceCount; ++i) list->Add(AnsiString(sourceNames[i]));
}

int recvolclass::selectedSource() {
  if (mixerUnusable) return -1;
  if (sourceCount == 1) {
    sourceListUnknown = 0;
    return 0;
  }
  sourceListUnknown = 1;
  MixerControl c;
  std::vector<MixerListItem> items;
  if (!findSelector(c, items)) return -1;
  std::vector<uint32_t> v;
  if (!api_.values(recordMixer, c, v) || v.size() != items.size()) return -1;
  for (std::size_t i = 0; i < items.size(); ++i) {
    MixerLine line;
    if (!v[i] || !api_.lineById(recordMixer, items[i].lineId, line)) continue;
    for (int s = 0; s < sourceCount; ++s) {
      if (sourceLineIds[s] == items[i].lineId) {
        sourceListUnknown = 0;
        return s;
      }
    }
    return -1;
  }
  return -1;
}

bool recvolclass::selectSource(int index) {
  if (mixerUnusable || !sourceIndexOk(index)) return false;
  MixerControl c;
  std::vector<MixerListItem> items;
  if (!findSelector(c, items)) return false;
  std::vector<uint32_t> v(items.size(), 0);
  bool found = false;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].lineId == sourceLineIds[index]) v[i] = 1, found = true;
  }
  // A selector without the line: writing all zeros would leave a MUX with no
  // source at all, which a driver may take or refuse.
  if (!found) return false;
  return api_.setValues(recordMixer, c, v);
}

int recvolclass::lineVolume(int index) {
  uint32_t line;
  if (mixerUnusable || !lineOf(index, line)) return -1;
  if (index >= 0) {
    const int v = readVolume(recordMixer, line);
    if (v >= 0) return v;
  }
  return readVolume(recordMixer, destinationLineId);
}

bool recvolclass::setLineVolume(int index, int percent) {
  uint32_t line;
  if (mixerUnusable || !lineOf(index, line) || percent < 0 || percent > 100) return false;
  bool sourceFailed = false;
  if (index >= 0) sourceFailed = !writeVolume(recordMixer, line, percent);
  // The destination follows the source: many drivers record through both.
  if (writeVolume(recordMixer, destinationLineId, percent)) return true;
  // For the destination alone its own write is the only one that counts.
  return index >= 0 && !sourceFailed;
}

int recvolclass::lineMuted(int index) {
  uint32_t line;
  if (mixerUnusable || !lineOf(index, line)) return -1;
  return readMute(recordMixer, line);
}

int recvolclass::setLineMute(int index, bool mute) {
  uint32_t line;
  if (mixerUnusable || !lineOf(index, line)) return -1;
  return writeMute(recordMixer, line, mute) ? 1 : 0;
}

bool recvolclass::micLine(uint32_t& lineId) {
  if (!playMixer) return false;
  MixerLine line;
  if (!api_.lineByType(playMixer, kMixerSrcMicrophone, line)) return false;
  lineId = line.lineId;
  return true;
}

int recvolclass::micMonitorMuted() {
  uint32_t line;
  return micLine(line) ? readMute(playMixer, line) : -1;
}

bool recvolclass::setMicMonitorMute(bool mute) {
  uint32_t line;
  return micLine(line) && writeMute(playMixer, line, mute);
}

int recvolclass::micMonitorVolume() {
  uint32_t line;
  return micLine(line) ? readVolume(playMixer, line) : -1;
}

bool recvolclass::setMicMonitorVolume(int percent) {
  uint32_t line;
  if (percent < 0 || percent > 100) return false;
  return micLine(line) && writeVolume(playMixer, line, percent);
}

// ---- source names ---------------------------------------------------------------
bool isStereoMixName(const AnsiString& name) {
  const AnsiString lower = name.LowerCase();
  return containsText(lower, "mix") || containsText(lower, "混");
}

AnsiString sourceLineCaption(const AnsiString& name) {
  if (name.IsEmpty()) return AnsiString();
  if (containsText(name.LowerCase(), "microphone")) return AnsiString("麦克风、话筒");
  if (isStereoMixName(name)) return AnsiString("混音,用于录播放的声音");
  return AnsiString();
}

int firstStereoMixItem(const TStringList& items) {
  for (int i = 0; i < items.Count(); ++i)
    if (isStereoMixName(items[i])) return i;
  return -1;
}

// ---- keeping the user's choice ----------------------------------------------------
void applyKeptMixerSettings(recvolclass& mixer, int savedSource, int savedVolume) {
  if (savedSource < 0 || savedVolume < 0) return;
  const int current = mixer.selectedSource();
  if (current < 0) return;
  // A refused selection does not stop the volume: the saved source's line
  // still takes it.
  if (current != savedSource) mixer.selectSource(savedSource);
  const int volume = mixer.lineVolume(savedSource);
  if (volume >= 0 && volume != savedVolume) mixer.setLineVolume(savedSource, savedVolume);
}
