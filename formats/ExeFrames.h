// Pictures of a self-playing EXE recording: decoding one update's image
// (JPEG or the program's own codec) and composing the whole picture of a
// frame from the nearest key frame and the updates after it. For tools that
// turn EXE frames into pictures; the player draws the same way with GDI.
// Portable.
#pragma once

#include <cstdint>
#include <vector>

#include "ExeContainer.h"
#include "Graphics.h"
#include "Host.h"

// Decodes one update's image: JPEG for image codec 0 (unless the image is in
// the extended layout, which every reader recognises), else the word layout
// of that codec type. False, with the bitmap unspecified, on damage.
bool decodeExeUpdateImage(const std::vector<uint8_t>& image, int imageCodec, TBitmap& out,
                          FormatsHost& host);

// Draws a decoded update onto the picture: the image belongs at the stored
// corner, so only its part inside the picture is copied. The image is
// brought to the picture's pixel format first.
void drawExeUpdate(TBitmap& picture, const ExeFrameUpdate& update, TBitmap& image);

// The picture of frame n (cursor not drawn): walks from the last key frame at
// or before n. The recording must be freshly opened or positioned by the
// caller's last call; 1 done, -1 when n is out of range or the file is damaged.
int composeExeFrame(ExeRecording& recording, int n, TBitmap& picture, FormatsHost& host);
