// The preview's zoom: how large the selected frame is shown in Image1 for
// each zoom item of the image's context menu (100 %, 200 %, 50 %, fit into
// the scroll box) and the scale (shown size / frame size) that the caption
// dragging multiplies frame coordinates by. Arithmetic only; the drawing is
// FramePreview_win.cpp's. Portable: no <windows.h>.
#pragma once

enum class PreviewZoom { None, Actual, Double, Half, Fit };

struct PreviewView {
  int width = 0;   // of Image1 and its picture
  int height = 0;
  float scale = 0;
};

// The view of a width x height frame at `zoom` in a scroll box of
// boxWidth x boxHeight. False when nothing is drawn: no zoom item checked,
// or no frame (a side below 1).
//
// Fit divides both sides by d, the smallest "side / box side + 1" of the side
// that decides (the height when the frame is relatively taller than the box,
// else the width), and only when that side is larger than the box; halves and
// thirds are integer divisions, the scale is 1 / d as a 32-bit float. A frame
// of exactly the box's proportions is fitted by its width (both rules agree
// that it must shrink); a box side below 1 counts as 1.
bool previewView(PreviewZoom zoom, int width, int height, int boxWidth, int boxHeight, PreviewView& view);
