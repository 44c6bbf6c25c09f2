// The preview's zoom rules.
#include "PreviewZoom.h"

bool previewView(PreviewZoom zoom, int width, int height, int boxWidth, int boxHeight, PreviewView& view) {
  if (width < 1 || height < 1) return false;
  switch (zoom) {
    case PreviewZoom::Actual:
      view = {width, height, 1.0f};
      return true;
    case PreviewZoom::Double:
      view = {width * 2, height * 2, 2.0f};
      return true;
    case PreviewZoom::Half:
      view = {width / 2, height / 2, 0.5f};
      return true;
    case PreviewZoom::Fit: {
      if (boxWidth < 1) boxWidth = 1;
      if (boxHeight < 1) boxHeight = 1;
      // The proportions are compared as 32-bit floats on every build (x87
      // would otherwise compare wider values).
      const volatile float a = static_cast<float>(height) / static_cast<float>(width);
      const volatile float b = static_cast<float>(boxHeight) / static_cast<float>(boxWidth);
      int d = 1;
      if (a > b) {
        if (height > boxHeight) d = height / boxHeight + 1;
      } else if (width > boxWidth) {
        d = width / boxWidth + 1;
      }
      view = {width / d, height / d, 1.0f / static_cast<float>(d)};
      return true;
    }
    case PreviewZoom::None:
      break;
  }
  return false;
}
