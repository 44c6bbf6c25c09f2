// The lossy sound-track packings of EXE recordings, made and read through the
// Audio Compression Manager: packing 5 (MPEG Layer-3, with the seek index
// after the formats) and packing 6 (TrueSpeech), the progress callback of the
// sound jobs, and the registration of both packings in the packing table.
// Portable: the ACM is an AcmApi, the bit-rate dialog a BitrateChooser and the
// progress window a SoundProgressWindow, each implemented by the Windows side
// and faked by tests.
//
// A block is built whole in memory and appended only when everything worked:
// a failure or a cancel leaves the output stream as it was. The recording's
// side file is never renamed or rewritten before the block is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "Acm.h"
#include "ByteSource.h"
#include "Classes.h"
#include "Host.h"
#include "System.h"

// The bit-rate choice the user makes in the bit-rate dialog.
class BitrateChooser {
public:
  virtual ~BitrateChooser() = default;
  // Offers the bit rates (kbit/s) for a sound of that sample rate; returns the
  // index of the chosen one, or -1 when the user made no choice. The dialog
  // hides and re-shows the progress window around itself.
  virtual int chooseBitrate(const std::vector<int>& kbps, int sampleRate) = 0;
};

// What the sound jobs need of the shared progress window.
class SoundProgressWindow {
public:
  virtual ~SoundProgressWindow() = default;
  virtual void setProgress(int maximum, int position) = 0;
  virtual void processMessages() = 0;  // pumps the message queue once
  virtual bool isShown() = 0;          // false once the user closed it
};

// The window soundProgress drives (none: progress is not shown, never cancels).
void setSoundProgressWindow(SoundProgressWindow* window);
// Sets the bar to percent of 100, pumps messages once and answers whether
// the window is still shown (false cancels the job).
bool soundProgress(int percent);

// A host whose progress is soundProgress and whose messages go to another.
class SoundProgressHost : public FormatsHost {
public:
  explicit SoundProgressHost(FormatsHost& messages) : messages_(messages) {}
  void showMessage(const AnsiString& text) override { messages_.showMessage(text); }
  bool progress(int percent) override { return soundProgress(percent); }

private:
  FormatsHost& messages_;
};

// ---- block layouts ---------------------------------------------------------------
// Both blocks start with the PCM format that was coded and the first 18 bytes
// of the coded format (its extra bytes are not stored); packing 5 then holds
// the seek index. Both end with int32 dataLength and the coded data.
struct AcmSoundBlock {
  std::vector<uint8_t> pcmFormat;    // 18 bytes
  std::vector<uint8_t> codedFormat;  // 18 bytes, cbSize as the encoder gave it
  std::vector<uint8_t> data;
};

// Where the widened copy of an 8-bit WAV goes before MP3 coding.
constexpr const char* kWidenedWavName = "lsflash8b.wav";

// ---- packing ---------------------------------------------------------------------
// PCM bytes with their format; the bytes are what follows the 44-byte header.
struct PcmSound {
  int channels = 0, rate = 0, bits = 0;
  std::vector<uint8_t> data;
};

// Reads a WAV taken to have a 44-byte header: channels at 22, rate at 24,
// bits at 34. False for formats that are not 1-2 channels of 8 or 16 bits at
// a positive rate, or sounds too long for the 32-bit ACM lengths. The data is
// cut to whole sample frames.
bool readPcmWav(ByteSource& wav, PcmSound& sound);

// Codes 16-bit PCM as MP3 at a bit rate the chooser picks among the encoder's
// formats for the sound's channels and rate, and appends the packing-5 block
// (formats, seek index, data) to out. 1 done; -1 failed (after a message);
// -2 no bit rate chosen or cancelled through host.progress.
int packMp3Pcm(const PcmSound& sound, ByteSink& out, AcmApi& api, BitrateChooser& chooser,
               FormatsHost& host);
// Converts the sound to 16-bit 8,000 Hz mono when it is not that already,
// codes it as TrueSpeech (the only format taken without asking, several
// offered through the chooser) and appends the packing-6 block.
int packTrueSpeechPcm(const PcmSound& sound, ByteSink& out, AcmApi& api, BitrateChooser& chooser,
                      FormatsHost& host);

struct AcmPackingContext {
  AcmApi* api = nullptr;
  BitrateChooser* chooser = nullptr;
  // The folder (ending in a separator) for the widened copy; asked at each use.
  std::function<AnsiString()> tempFolder;
};

// The file-level packings as the packing table calls them. Packing 5 widens
// an 8-bit WAV into the temporary folder first and codes the copy; only once
// the block is written does the copy take the side file's place (so the side
// file is 16-bit afterwards); on a failure or cancel the side file is left as
// it was and the copy is deleted. "打开文件失败," and the name when the WAV
// cannot be read, "转换声音失败" when the widening fails.
int packMp3SoundFile(const AnsiString& wavPath, TStream& out, const AcmPackingContext& ctx,
                     FormatsHost& host);
int packTrueSpeechSoundFile(const AnsiString& wavPath, TStream& out, const AcmPackingContext& ctx,
                            FormatsHost& host);

// ---- unpacking -------------------------------------------------------------------
// Reads a packing-5 (withIndex) or packing-6 block at pos (ending by limit)
// into its parts; pos is left after the block. False when it is damaged: a
// PCM format that is not 1-2 channels of 8 or 16 bits, a coded format of
// another tag, a seek index that does not fit or points beyond the data, or
// lengths beyond the block.
bool readAcmSoundBlock(ByteSource& src, int64_t& pos, int64_t limit, bool withIndex, AcmSoundBlock& block,
                       uint16_t expectedTag);

// The full coded format for a decoder: the stored head with the extra bytes
// that were not stored made up again (MPEG Layer-3 from the first frame
// header, TrueSpeech's revision and block size); other tags without extras.
std::vector<uint8_t> decoderFormat(const AcmSoundBlock& block);

// Decodes the block through whichever ACM driver takes the coded format to
// its PCM format and writes a WAV file (44-byte header, then the samples) to
// out. -1 after a message when the block is damaged or no driver decodes it.
int unpackAcmSound(ByteSource& src, int64_t& pos, int64_t limit, ByteSink& out, AcmApi& api,
                   FormatsHost& host, int packing);

// Adds packings 5 and 6 to the packing table. The context's api and chooser
// must live as long as the table is used.
void registerAcmSoundPackings(const AcmPackingContext& ctx);
#ifdef _WIN32
// The same over the system's ACM (SoundPackingAcm_win.cpp).
void registerSystemAcmSoundPackings(BitrateChooser& chooser, std::function<AnsiString()> tempFolder);
#endif
