// Filling the sound page from the recording mixer whenever it is shown: the
// device, its source list and the selected source with its explanation, the
// volume (the bar runs 0 at the top, so its position is 100 minus the
// volume), and the microphone monitor. What the mixer cannot tell is said
// in a message and leaves the rest of the page as it was.
#include "MainForm_win.h"

#include "RecordingMixer.h"

void TMainForm::refreshSoundPage() {
  if (!mixer) return;
  Label45->SetCaption(mixer->deviceName);
  ComboBox4->Items()->Clear();
  TStringList sources;
  mixer->listSources(&sources);
  for (int i = 0; i < sources.Count(); ++i) ComboBox4->Items()->Add(sources[i]);
  if (sources.Count() == 0) {
    ShowMessage("获得录音来源失败,可改用操作系统中的音量控制程序进行设置,请按F1键打开帮助,帮助里有详细介绍");
    return;
  }

  savedSoundSource = mixer->selectedSource();
  if (savedSoundSource == -1) {
    ComboBox4->Hide();
    Button3->Show();
    Label35->SetCaption("");
  } else {
    ComboBox4->Show();
    ComboBox4->SetItemIndex(savedSoundSource);
    Button3->Hide();
    Label35->SetCaption(sourceLineCaption(ComboBox4->Items()->Strings(savedSoundSource)));
  }

  savedSoundVolume = mixer->lineVolume(savedSoundSource);
  if (savedSoundVolume == -1) {
    ShowMessage(
        "获得音量失败,有可能是选择了错误的默认录音设备导致,请尝试在本页面修改默认录音设备。如果默认录音设备没有问题,可改用操作系统中的音量控制程序进行设置,请按F1键打开帮助,帮助里有详细介绍");
    return;
  }
  TrackBar2->SetPosition(100 - savedSoundVolume);

  // Setting the box must not reach the mixer through its click handler.
  const int muted = mixer->micMonitorMuted();
  TNotifyEvent click = CheckBox18->OnClick;
  CheckBox18->OnClick = nullptr;
  CheckBox18->SetChecked(muted == 0);
  CheckBox18->OnClick = click;
  CheckBox18->SetEnabled(muted != -1);
  Button1->SetEnabled(muted == 0);
}
