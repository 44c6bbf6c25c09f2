// Packings 5 and 6 over the system's Audio Compression Manager (msacm32):
// what the main form calls once at creation so that the packing table can
// make and read MP3 and TrueSpeech sound tracks. Windows only.
#include "SoundPackingAcm.h"

void registerSystemAcmSoundPackings(BitrateChooser& chooser, std::function<AnsiString()> tempFolder) {
  AcmPackingContext ctx;
  ctx.api = &systemAcm();
  ctx.chooser = &chooser;
  ctx.tempFolder = std::move(tempFolder);
  registerAcmSoundPackings(ctx);
}
