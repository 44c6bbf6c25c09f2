// Picture names. A CP936 name cannot hide ".bmp" in a double-byte character:
// '.' is never part of one, so comparing the last four bytes is safe.
#include "PictureNames.h"

#include "SysUtils.h"

namespace {

// ".bmp", ".jpg" or "" for the last four characters of a name.
AnsiString pictureExtension(const AnsiString& name) {
  if (name.Length() < 4) return AnsiString();
  const AnsiString tail = LowerCase(name.SubString(name.Length() - 3, 4));
  return tail == ".bmp" || tail == ".jpg" ? tail : AnsiString();
}

}  // namespace

PictureFile currentFramePicture(const AnsiString& chosen) {
  const AnsiString ext = pictureExtension(chosen);
  PictureFile f;
  f.path = ext.IsEmpty() ? chosen + ".bmp" : chosen;
  f.kind = ext == ".jpg" ? PictureKind::Jpeg : PictureKind::Bmp;
  return f;
}

PictureSeries framePictureSeries(const AnsiString& chosen) {
  const AnsiString ext = pictureExtension(chosen);
  PictureSeries s;
  s.base = ext.IsEmpty() ? chosen : chosen.SubString(1, chosen.Length() - 4);
  s.kind = ext == ".jpg" ? PictureKind::Jpeg : PictureKind::Bmp;
  return s;
}

AnsiString PictureSeries::path(int n) const {
  return base + IntToStr(n) + (kind == PictureKind::Jpeg ? ".jpg" : ".bmp");
}
