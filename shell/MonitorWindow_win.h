// TJkForm, the monitor window of a recording ("声音图像实时监控窗体"): an
// always-on-top tool window with a thumbnail of the captured picture, the
// waveform of the sound recorded so far (read from the growing WAV side file
// the sound server writes) and a volume bar for the recording level. The
// record tick creates it on the first tick of each output file, refreshes it
// once a second while it is visible, and the stop destroys it. The numbers
// (placement, thumbnail, columns) come from recorder/TickSideWork.h.
// Windows only.
#pragma once

#include <cstdint>
#include <memory>

#include "Classes.h"
#include "CommonControls.h"
#include "Forms.h"
#include "Graphics.h"
#include "StdControls.h"
#include "TickSideWork.h"

class TMainForm;

// Draws the monitor's two pictures: the thumbnail of each frame it is given,
// and the samples appended to the WAV file since the last call, scrolled in
// from the right of the waveform panel. It only ever reads the file, shared
// with the sound server that writes it.
class shengyintuxiangjkclass {
public:
  // wave and thumbnail are the pictures of the window's two images; an empty
  // soundFile means a recording without sound.
  shengyintuxiangjkclass(TBitmap* wave, TBitmap* thumbnail, const AnsiString& soundFile);
  ~shengyintuxiangjkclass();
  shengyintuxiangjkclass(const shengyintuxiangjkclass&) = delete;
  shengyintuxiangjkclass& operator=(const shengyintuxiangjkclass&) = delete;

  void drawScale();
  void update(TBitmap& frame);

private:
  bool knowSampleDepth();

  std::unique_ptr<TBitmap> scrollBitmap;
  TBitmap* waveBitmap;
  TBitmap* thumbBitmap;
  AnsiString soundFile;
  std::unique_ptr<TFileStream> soundStream;
  int64_t readPosition = kWavDataOffset;
  int bitsPerSample = 0;  // 0 until the server has written the header
  ThumbPlacement thumb;
  int gain = 1;
};

class TJkForm : public TForm {
public:
  explicit TJkForm(TComponent* Owner);
  TImage* Image1 = nullptr;       // thumbnail, 128 x 128
  TImage* Image2 = nullptr;       // waveform panel
  TTrackBar* TrackBar2 = nullptr;  // 100 minus the recording volume

  bool firstShow = false;
  AnsiString soundFile;  // set before the first show; empty: no sound
  std::unique_ptr<shengyintuxiangjkclass> view;

  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  // Draws a captured picture and the new sound, and shows them.
  void refresh(TBitmap& picture);

protected:
  void DeclareMembers(TFormBinder& b) override;
  void HelpRequested(TMessage& m) override;
};

extern TJkForm* JkForm;

// The record tick's calls. Opening replaces a window left from an earlier
// file of the recording; the window goes where it leaves the target
// (top..bottom on the screen) uncovered, and its bar shows the saved mixer
// volume (disabled when there is none).
void openMonitorWindow(TMainForm& main, const AnsiString& soundFile, bool fullScreen, int targetTop,
                       int targetBottom);
// Once a second: the picture, then the volume bar and the mixer kept in step
// (a bar the user moved sets the saved source's volume). Nothing while the
// window is closed or hidden.
void refreshMonitorWindow(TMainForm& main, TBitmap& picture);
// The stop: closes and destroys the window.
void closeMonitorWindow();
