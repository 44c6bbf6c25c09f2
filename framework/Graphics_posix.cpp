// Pixel storage of TBitmap in the native tree: a plain heap buffer.
#include <new>

#include "BitmapImpl.h"

void BitmapAllocate(TBitmap::Impl& b) {
  std::size_t size = static_cast<std::size_t>(StrideOf(b.width, b.format)) * static_cast<std::size_t>(b.height);
  try {
    std::vector<uint8_t>(size).swap(b.store);
  } catch (const std::bad_alloc&) {
    b.bits = nullptr;
    throw EOutOfResources("内存不足");
  }
  b.bits = size ? b.store.data() : nullptr;
}

void BitmapRelease(TBitmap::Impl& b) {
  std::vector<uint8_t>().swap(b.store);
  b.bits = nullptr;
}

void BitmapSync(const TBitmap::Impl&) {}
