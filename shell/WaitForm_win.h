// TWaitForm, the one progress window of every long job, and the adapters
// through which jobs of the portable layers report to it (FormatsHost and the
// sound jobs' SoundProgressWindow). Windows only.
//
// The window has no cancel flag of its own: a job may go on exactly as long
// as the window is shown, and closing it (the "取消" button or the close box)
// is the user's cancel, seen by the job at its next pump. The window also
// takes the progress messages of the SWF maker (WM_FLASH_PROGRESS).
#pragma once

#include <functional>

#include "CommonControls.h"
#include "Forms.h"
#include "Host.h"
#include "SoundPackingAcm.h"
#include "StdControls.h"

// Sent by the SWF maker: wParam the stage, lParam the percent.
constexpr UINT WM_FLASH_PROGRESS = WM_USER + 18;

class TWaitForm : public TForm {
public:
  explicit TWaitForm(TComponent* Owner);
  TLabel* Label1 = nullptr;
  TProgressBar* ProgressBar1 = nullptr;
  TSpeedButton* SpeedButton1 = nullptr;

  void SpeedButton1Click(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void Dispatch(TMessage& Message) override;
  void wmFlashProgress(TMessage& Message);

protected:
  void DeclareMembers(TFormBinder& b) override;
};

extern TWaitForm* WaitForm;

// ---- the job's side ----------------------------------------------------------------
// Step 1 of a job: label text, bar maximum with position 0, optionally a
// caption, then shown (not modal) and painted.
void showWaitForm(const AnsiString& text, int maximum, const AnsiString& caption = AnsiString());
// One pass of a job's loop: pumps the queue; false once the window is no
// longer shown (the job stops and cleans up as for a cancel), else the bar
// moves to position and the window is repainted.
bool waitFormStep(int position);
// The end of every job, done or failed: closes the window and puts a fresh,
// hidden instance owned by the main form into WaitForm. The old instance is
// deleted once the current message is handled, so this is safe to call from
// any handler, its own included.
void renewWaitForm();

// FormatsHost over the progress window: messages in a message box, progress
// as the bar at percent of 100 followed by one pump; false (cancel) once the
// window is no longer shown. Always reaches the instance WaitForm holds now.
class WaitFormHost : public FormatsHost {
public:
  void showMessage(const AnsiString& text) override;
  bool progress(int percent) override;
};

// The sound jobs' view of the progress window (soundProgress).
class WaitFormProgressWindow : public SoundProgressWindow {
public:
  void setProgress(int maximum, int position) override;
  void processMessages() override;
  bool isShown() override;
};
// Makes soundProgress drive TWaitForm; the main form calls it at creation.
void installWaitFormProgress();

// ---- the end of a Flash export ---------------------------------------------------
// What the end of a Flash export needs of the main form, which sets it at
// creation: its working folder (ending in a separator) and its clean-up of
// the Flash sound temporaries. Unset members are skipped.
struct FlashJobHooks {
  std::function<AnsiString()> workingFolder;
  std::function<void()> deleteFlashTempFiles;
};
void setFlashJobHooks(FlashJobHooks hooks);
// Deletes "lsflash.tmp" in the working folder, then the sound temporaries.
void finishFlashJob();
