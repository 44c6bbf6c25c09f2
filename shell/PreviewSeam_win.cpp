// The plainest drawing of the preview: previewBitmap at its own size in
// Image1. The preview's own unit (zoom, caption, scale) takes its place.
#include "MainForm_win.h"

void TMainForm::drawPreview() {
  if (!previewBitmap || !Image1) return;
  TBitmap* shown = Image1->Picture()->Bitmap();
  shown->Assign(*previewBitmap);
  Image1->SetBounds(0, 0, previewBitmap->Width(), previewBitmap->Height());
  Image1->Invalidate();
  previewScale = 1.0f;
}
