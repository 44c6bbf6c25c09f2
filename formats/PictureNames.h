// The file names under which frames are saved as pictures: the current frame
// under the name the user chose, and every frame of a recording as a
// numbered series ("a.jpg" gives a1.jpg, a2.jpg, ...). The extension decides
// between BMP and JPEG. Portable.
#pragma once

#include "System.h"

enum class PictureKind { Bmp, Jpeg };

struct PictureFile {
  AnsiString path;
  PictureKind kind = PictureKind::Bmp;
};

// The current frame: the last four characters of the chosen name decide,
// case-insensitively. ".bmp" and ".jpg" keep the name as chosen ("shot.JPG"
// is a JPEG named shot.JPG); any other name gets ".bmp" appended.
PictureFile currentFramePicture(const AnsiString& chosen);

// Every frame: a name ending in ".bmp" or ".jpg" (any case) is cut before that
// dot and gives its kind; any other name stays whole and saves BMP. Picture n
// (counted from 1) is the base, n in decimal and ".bmp" or ".jpg" in lower case.
struct PictureSeries {
  AnsiString base;
  PictureKind kind = PictureKind::Bmp;
  AnsiString path(int n) const;
};
PictureSeries framePictureSeries(const AnsiString& chosen);
