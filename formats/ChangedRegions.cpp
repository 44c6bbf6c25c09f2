// Changed-region detection: spans of changed pixels per scan line, a grid of
// cells marked by the spans, cell groups tightened back to the changed
// pixels; and the simpler per-group bounding boxes. Runs once per recorded
// frame: unchanged lines are settled by memcmp (blocks of lines where rows
// have no padding), a changed line becomes a bit mask of differing words
// (SSE2, or AVX2 where the processor has it) and the span walk jumps through
// the mask; nothing is allocated per line.
//
// Only the bytes of the width are compared: the padding at the end of a row
// never counts as a change. Every line takes part, the last one included.
#include "ChangedRegions.h"

#include <algorithm>
#include <cstring>
#include <memory>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VIDORRA_AVX2_MASK 1
#endif

namespace {

#if defined(VIDORRA_AVX2_MASK)
// Mask bits (1 = differing word) of `chunks` runs of 64 words at a and b
// into mask; returns the OR of all bits. AVX2, chosen at run time where the
// processor has it.
__attribute__((target("avx2"))) uint64_t diffMaskAvx2(const uint8_t* a, const uint8_t* b,
                                                      std::size_t chunks, uint64_t* mask) {
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  uint64_t any = 0;
  for (std::size_t c = 0; c < chunks; ++c, a += 256, b += 256) {
    uint64_t m = 0;
    for (int half = 0; half < 2; ++half) {
      __m256i e[4];
      for (int j = 0; j < 4; ++j) {
        const std::size_t at = std::size_t(128 * half + 32 * j);
        e[j] = _mm256_cmpeq_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + at)),
                                  _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + at)));
      }
      // Packs work per 128-bit lane; the permute puts the 4-word groups back in order.
      const __m256i p =
          _mm256_packs_epi16(_mm256_packs_epi32(e[0], e[1]), _mm256_packs_epi32(e[2], e[3]));
      const __m256i q = _mm256_permutevar8x32_epi32(p, order);
      m |= uint64_t(~static_cast<uint32_t>(_mm256_movemask_epi8(q))) << (32 * half);
    }
    mask[c] = m;
    any |= m;
  }
  return any;
}
const bool kHaveAvx2 = __builtin_cpu_supports("avx2");
#endif

inline uint32_t load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline uint64_t load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// Two scan lines seen as 32-bit words; the last word is masked to the bytes
// that hold pixels. A changed line gets a bit mask of its differing words
// (build()), so the span walk jumps from change to change with bit scans
// instead of comparing word by word.
class LinePair {
public:
  // mask: room for maskWords(width, bits) 64-bit words, reused line after line.
  LinePair(const uint8_t* a, const uint8_t* b, int width, int bits, uint64_t* mask)
      : a_(a), b_(b), bits_(bits), width_(width), mask_(mask) {
    bytes_ = (static_cast<std::size_t>(width) * bits + 7) / 8;
    words_ = (bytes_ + 3) / 4;
    full_ = bytes_ / 4;  // words without padding
    const std::size_t tail = bytes_ % 4;
    tailMask_ = tail ? (0xFFFFFFFFu >> (8 * (4 - tail))) : 0;
  }
  static std::size_t maskWords(int width, int bits) {
    const std::size_t words = ((static_cast<std::size_t>(width) * bits + 7) / 8 + 3) / 4;
    return (words + 63) / 64;
  }

  std::size_t words() const { return words_; }

  bool same() const { return std::memcmp(a_, b_, bytes_) == 0; }

  uint32_t diff(std::size_t k) const {
    if (k < full_) return load32(a_ + 4 * k) ^ load32(b_ + 4 * k);
    // The partial last word: read only the bytes that exist.
    uint32_t x = 0, y = 0;
    std::memcpy(&x, a_ + 4 * k, bytes_ - 4 * k);
    std::memcpy(&y, b_ + 4 * k, bytes_ - 4 * k);
    return (x ^ y) & tailMask_;
  }

  // Fills the mask; false when the line has no change. One pass over both
  // lines, so an unchanged line costs about what memcmp would.
  bool build() {
    const std::size_t n = (words_ + 63) / 64;
    uint64_t any = 0;
    std::size_t k = 0;
#if defined(VIDORRA_AVX2_MASK)
    if (kHaveAvx2) {
      any = diffMaskAvx2(a_, b_, full_ / 64, mask_);
      k = full_ / 64 * 64;
    }
#endif
#if defined(__SSE2__)
    for (; k + 64 <= full_; k += 64) {
      uint64_t m = 0;
      for (int q = 0; q < 4; ++q) {
        const uint8_t* pa = a_ + 4 * (k + 16 * q);
        const uint8_t* pb = b_ + 4 * (k + 16 * q);
        __m128i e[4];
        for (int j = 0; j < 4; ++j)
          e[j] = _mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pa + 16 * j)),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(pb + 16 * j)));
        // Saturating packs keep the all-ones / zero lanes and their order.
        const __m128i p = _mm_packs_epi16(_mm_packs_epi32(e[0], e[1]), _mm_packs_epi32(e[2], e[3]));
        m |= static_cast<uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(p)) ^ 0xFFFFu) << (16 * q);
      }
      mask_[k >> 6] = m;
      any |= m;
    }
#endif
    std::fill(mask_ + (k >> 6), mask_ + n, 0);
    for (; k + 2 <= full_; k += 2) {
      const uint64_t x = load64(a_ + 4 * k) ^ load64(b_ + 4 * k);
      const uint64_t bits = ((x & 0xFFFFFFFFu) ? 1u : 0u) | ((x >> 32) ? 2u : 0u);
      mask_[k >> 6] |= bits << (k & 63);
      any |= bits;
    }
    for (; k < words_; ++k)
      if (diff(k)) {
        mask_[k >> 6] |= uint64_t(1) << (k & 63);
        any = 1;
      }
    return any != 0;
  }

  // First differing word in [from, to), or to.
  std::size_t nextDiff(std::size_t from, std::size_t to) const { return scan(from, to, 0); }
  // First equal word in [from, to), or to.
  std::size_t nextEqual(std::size_t from, std::size_t to) const { return scan(from, to, ~uint64_t(0)); }

  // The last differing word of the span that starts at differing word
  // `first`: the span goes on while fewer than 50 equal words separate two
  // changes, and ends at the line's end. Dense stretches of the mask are
  // taken 64 words at a time.
  std::size_t spanEnd(std::size_t first) const {
    std::size_t last = first;
    std::size_t i = first >> 6;
    uint64_t w = (first & 63) == 63 ? 0 : mask_[i] & (~uint64_t(0) << ((first & 63) + 1));
    const std::size_t chunks = (words_ + 63) >> 6;
    for (;;) {
      const std::size_t base = i << 6;
      if (w) {
        const std::size_t lo = base + static_cast<std::size_t>(__builtin_ctzll(w));
        if (lo - last > 50) return last;
        const std::size_t hi = base + 63 - static_cast<std::size_t>(__builtin_clzll(w));
        // Equal words between lo and hi; a run of 50 of them survives the
        // shifts below (bit i stays set only when i .. i + 49 are all set).
        uint64_t z = ~w & (~uint64_t(0) >> (63 - (hi - base))) & (~uint64_t(0) << (lo - base));
        z &= z >> 1;
        z &= z >> 2;
        z &= z >> 4;
        z &= z >> 8;
        z &= z >> 16;
        z &= z >> 18;
        if (!z) {
          last = hi;
        } else {
          for (uint64_t v = w; v; v &= v - 1) {
            const std::size_t p = base + static_cast<std::size_t>(__builtin_ctzll(v));
            if (p - last > 50) return last;
            last = p;
          }
        }
      } else if (base + 63 - last >= 50) {
        return last;
      }
      if (++i >= chunks) return last;
      w = mask_[i];
    }
  }

  // Last differing word in [0, to), or words() when none.
  std::size_t prevDiff(std::size_t to) const {
    if (to == 0) return words_;
    std::size_t i = (to - 1) >> 6;
    uint64_t w = mask_[i] & (~uint64_t(0) >> (63 - ((to - 1) & 63)));
    for (;;) {
      if (w) return (i << 6) + 63 - static_cast<std::size_t>(__builtin_clzll(w));
      if (i == 0) return words_;
      w = mask_[--i];
    }
  }

  // First and last changed pixel inside differing word k.
  int edgeLeft(std::size_t k) const {
    const uint32_t d = diff(k);
    const int w = static_cast<int>(k), c = 4 * w;
    switch (bits_) {
      case 32: return w;
      case 16: return 2 * w + ((d & 0xFFFF) ? 0 : 1);
      case 24: {
        const int p = c / 3, r = c % 3;
        const uint32_t own = 0xFFFFFFFFu >> (8 * (1 + r));  // bytes 0..2-r belong to pixel p
        return (d & own) ? p : p + 1;
      }
      case 8: return (d & 0xFF) ? c : c + 1;
      default: return 2 * ((d & 0xFF) ? c : c + 1);  // 4-bit
    }
  }
  int edgeRight(std::size_t k) const {
    const uint32_t d = diff(k);
    const int w = static_cast<int>(k), c = 4 * w;
    int right;
    switch (bits_) {
      case 32: right = w; break;
      case 16: right = 2 * w + ((d >> 16) ? 1 : 0); break;
      case 24: {
        const int p = c / 3, r = c % 3;
        const uint32_t own = 0xFFFFFFFFu >> (8 * (1 + r));
        right = (d & ~own) ? p + 1 : p;
        break;
      }
      case 8: right = (d >> 24) ? c + 3 : c + 2; break;
      default: right = 2 * ((d >> 24) ? c + 3 : c + 2) + 1; break;  // 4-bit: the whole byte
    }
    return std::min(right, width_ - 1);
  }
  int lastPixel() const { return width_ - 1; }

private:
  // First word in [from, to) whose mask bit differs from `flip`'s (0: set bit
  // wanted, all ones: clear bit wanted), or to.
  std::size_t scan(std::size_t from, std::size_t to, uint64_t flip) const {
    if (from >= to) return to;
    std::size_t i = from >> 6;
    uint64_t w = (mask_[i] ^ flip) & (~uint64_t(0) << (from & 63));
    for (;;) {
      if (w) {
        const std::size_t k = (i << 6) + static_cast<std::size_t>(__builtin_ctzll(w));
        return k < to ? k : to;
      }
      if (((++i) << 6) >= to) return to;
      w = mask_[i] ^ flip;
    }
  }

  const uint8_t* a_;
  const uint8_t* b_;
  int bits_;
  int width_;
  uint64_t* mask_;
  std::size_t bytes_, words_, full_;
  uint32_t tailMask_;
};

int spansOf(const LinePair& line, int32_t* spans) {
  const std::size_t words = line.words();
  int n = 0;
  std::size_t k = 0;
  for (;;) {
    const std::size_t first = line.nextDiff(k, words);
    if (first == words) break;
    const int left = line.edgeLeft(first);
    const std::size_t last = line.spanEnd(first);
    k = last + 1;
    spans[2 * n] = left;
    spans[2 * n + 1] = line.edgeRight(last);
    if (++n == kMaxSpansPerLine) {
      spans[1] = line.lastPixel();
      n = 1;
      break;
    }
  }
  if (n < kMaxSpansPerLine) spans[2 * n] = spans[2 * n + 1] = -1;  // the list's end
  return n;
}

bool validPair(const PicturePair& p) {
  if (!p.a || !p.b || p.width <= 0 || p.height <= 0) return false;
  if (p.bitsPerPixel != 4 && p.bitsPerPixel != 8 && p.bitsPerPixel != 16 &&
      p.bitsPerPixel != 24 && p.bitsPerPixel != 32)
    return false;
  const long long minStride = ((static_cast<long long>(p.width) * p.bitsPerPixel + 31) / 32) * 4;
  return p.stride >= minStride;
}

// Line y counted from the top of a bottom-up pixel area.
inline std::size_t rowOffset(const PicturePair& p, int y) {
  return static_cast<std::size_t>(p.height - 1 - y) * static_cast<std::size_t>(p.stride);
}

// The span table of a whole picture: counts per line, pairs per line.
struct SpanTable {
  std::vector<uint8_t> count;
  // Only the first count[y] pairs of a line are ever read: no need to fill.
  std::unique_ptr<int32_t[]> pairs;
  bool any = false;
  explicit SpanTable(const PicturePair& p)
      : count(static_cast<std::size_t>(p.height), 0),
        pairs(new int32_t[static_cast<std::size_t>(p.height) * 2 * kMaxSpansPerLine]) {
    std::vector<uint64_t> mask(LinePair::maskWords(p.width, p.bitsPerPixel));
    // Rows without padding lie back to back: settle runs of unchanged lines
    // with one memcmp instead of one call per line.
    const bool packed = static_cast<long long>(p.stride) * 8 ==
                        static_cast<long long>(p.width) * p.bitsPerPixel;
    const int block = 16;
    bool blockDiffers = false;  // the lines of a differing block go straight to build()
    for (int y = 0; y < p.height; ++y) {
      if (y % block == 0) blockDiffers = false;
      if (packed && y % block == 0 && y + block <= p.height) {
        const std::size_t from = rowOffset(p, y + block - 1);
        if (std::memcmp(p.a + from, p.b + from, static_cast<std::size_t>(p.stride) * block) == 0) {
          y += block - 1;
          continue;
        }
        blockDiffers = true;
      }
      const std::size_t off = rowOffset(p, y);
      LinePair line(p.a + off, p.b + off, p.width, p.bitsPerPixel, mask.data());
      // Most lines of a frame are unchanged: memcmp settles those fastest.
      if ((!blockDiffers && line.same()) || !line.build()) continue;
      count[y] = static_cast<uint8_t>(spansOf(line, &pairs[static_cast<std::size_t>(y) * 2 * kMaxSpansPerLine]));
      if (count[y]) any = true;
    }
  }
  const int32_t* line(int y) const { return &pairs[static_cast<std::size_t>(y) * 2 * kMaxSpansPerLine]; }
};

struct CellRect {
  int c0, r0, c1, r1;  // inclusive cells
};

// Clipped extent of line y's spans within [left, right); false when none reach in.
bool lineHits(const SpanTable& t, int y, int left, int right, int& l, int& r) {
  const int32_t* s = t.line(y);
  bool hit = false;
  for (int i = 0; i < t.count[y]; ++i) {
    const int first = s[2 * i], last = s[2 * i + 1];
    if (last < left || first >= right) continue;
    const int cl = std::max(first, left), cr = std::min(last + 1, right);
    if (!hit) {
      l = cl;
      r = cr;
      hit = true;
    } else {
      l = std::min(l, cl);
      r = std::max(r, cr);
    }
  }
  return hit;
}

// Appends the tightened boxes of one cell rectangle; false when they would
// pass 100 (dropping the rest would lose changes from the delta frame).
bool tightenCellRect(const SpanTable& t, const ChangedRect& cell, std::vector<ChangedRect>& out) {
  bool open = false, full = false;
  ChangedRect box{};
  auto close = [&](int bottom) {
    open = false;
    if (static_cast<int>(out.size()) >= kMaxChangedRects) {
      full = true;
      return;
    }
    box.bottom = bottom;
    box.right = std::max(box.right, box.left + 1);
    out.push_back(box);
  };
  int y = cell.top;
  while (y < cell.bottom) {
    int l, r;
    if (lineHits(t, y, cell.left, cell.right, l, r)) {
      if (!open) {
        open = true;
        box = ChangedRect{l, y, r, 0};
      } else {
        box.left = std::min(box.left, l);
        box.right = std::max(box.right, r);
      }
      ++y;
      continue;
    }
    if (!open) {
      ++y;
      continue;
    }
    // A gap: bridge it when a changed line follows within 20 lines.
    const int limit = std::min(y + 21, cell.bottom);
    int next = y + 1;
    while (next < limit && !lineHits(t, next, cell.left, cell.right, l, r)) ++next;
    if (next < limit) {
      y = next;
      continue;
    }
    close(y);
    y = limit;
  }
  if (open) close(cell.bottom);
  return !full;
}

// Groups the marked cells of cell size s; -1 when the changes are too
// scattered (more than 99 cell groups).
int groupChangedCells(const SpanTable& t, int width, int height, int s,
                      std::vector<ChangedRect>& out) {
  const int cols = width / s + 1, rows = height / s + 1;
  std::vector<uint8_t> grid(static_cast<std::size_t>(cols) * rows, 0);
  for (int y = 0; y < height; ++y) {
    const int32_t* sp = t.line(y);
    uint8_t* row = &grid[static_cast<std::size_t>(y / s) * cols];
    for (int i = 0; i < t.count[y]; ++i)
      std::fill(row + sp[2 * i] / s, row + sp[2 * i + 1] / s + 1, 1);
  }
  std::vector<CellRect> rects;
  const int kMaxGroups = 99;
  for (int r = 0; r < rows; ++r) {
    uint8_t* row = &grid[static_cast<std::size_t>(r) * cols];
    for (int c = 0; c < cols;) {
      if (!row[c]) {
        ++c;
        continue;
      }
      int e = c;
      while (e + 1 < cols && row[e + 1]) ++e;
      if (e > c) {
        if (static_cast<int>(rects.size()) >= kMaxGroups) return -1;
        rects.push_back(CellRect{c, r, e, r});
        std::fill(row + c, row + e + 1, 0);
      }
      c = e + 1;
    }
  }
  // A run directly below another with the same columns joins it.
  for (std::size_t i = 0; i < rects.size(); ++i) {
    for (std::size_t j = i + 1; j < rects.size();) {
      if (rects[j].r0 == rects[i].r1 + 1 && rects[j].c0 == rects[i].c0 &&
          rects[j].c1 == rects[i].c1) {
        rects[i].r1 = rects[j].r0;
        rects.erase(rects.begin() + static_cast<std::ptrdiff_t>(j));
      } else {
        ++j;
      }
    }
  }
  // Lone cells: one rectangle per pair of columns, over the rows they span.
  for (int c = 0; c < cols; c += 2) {
    int first = -1, last = -1;
    for (int r = 0; r < rows; ++r) {
      const uint8_t* row = &grid[static_cast<std::size_t>(r) * cols];
      if (row[c] || (c + 1 < cols && row[c + 1])) {
        if (first < 0) first = r;
        last = r;
      }
    }
    if (first < 0) continue;
    if (static_cast<int>(rects.size()) >= kMaxGroups) return -1;
    rects.push_back(CellRect{c, first, c + 1, last});
  }
  out.clear();
  for (const CellRect& cr : rects) {
    const ChangedRect px{cr.c0 * s, cr.r0 * s, std::min((cr.c1 + 1) * s, width),
                         std::min((cr.r1 + 1) * s, height)};
    if (!tightenCellRect(t, px, out)) return -1;
  }
  return static_cast<int>(out.size());
}

// Rows of bitmaps that differ in layout cannot be compared.
bool pairOf(const TBitmap& a, const TBitmap& b, PicturePair& p) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.PixelFormat() != b.PixelFormat() ||
      a.Empty())
    return false;
  p = PicturePair{a.Bits(), b.Bits(), a.Width(), a.Height(), a.Stride(), a.BitsPerPixel()};
  return true;
}

}  // namespace

int findChangedSpans(const uint8_t* lineA, const uint8_t* lineB, int width, int bitsPerPixel,
                     int32_t spans[2 * kMaxSpansPerLine]) {
  if (width <= 0) return 0;
  std::vector<uint64_t> mask(LinePair::maskWords(width, bitsPerPixel));
  LinePair line(lineA, lineB, width, bitsPerPixel, mask.data());
  for (int i = 0; i < 2 * kMaxSpansPerLine; ++i) spans[i] = -1;
  return line.build() ? spansOf(line, spans) : 0;
}

int findChangedRegions(const PicturePair& p, std::vector<ChangedRect>& out) {
  out.clear();
  if (!validPair(p)) return -1;
  const SpanTable table(p);
  if (!table.any) return 0;
  // The grid has at most 100 columns and 50 rows: start with the smallest
  // multiple of 100 pixels that fits the picture.
  int n = 1;
  while (p.width / (n * 100) + 1 > 100 || p.height / (n * 100) + 1 > 50) ++n;
  int found = groupChangedCells(table, p.width, p.height, n * 100, out);
  while (found > 10 && (n + 1) * 100 < p.width) {
    ++n;
    found = groupChangedCells(table, p.width, p.height, n * 100, out);
  }
  if (found < 0) {
    out.clear();
    return -1;
  }
  return found > 0 ? 1 : 0;
}

int findChangedRegions(const TBitmap& a, const TBitmap& b, std::vector<ChangedRect>& out) {
  PicturePair p;
  if (!pairOf(a, b, p)) {
    out.clear();
    return -1;
  }
  return findChangedRegions(p, out);
}

int findChangedBounds(const PicturePair& p, std::vector<ChangedRect>& out) {
  out.clear();
  if (!validPair(p)) return -1;
  std::vector<uint64_t> mask(LinePair::maskWords(p.width, p.bitsPerPixel));
  auto changed = [&](int y, int& l, int& r) {
    const std::size_t off = rowOffset(p, y);
    LinePair line(p.a + off, p.b + off, p.width, p.bitsPerPixel, mask.data());
    if (line.same() || !line.build()) return false;
    const std::size_t first = line.nextDiff(0, line.words());
    if (first == line.words()) return false;
    l = line.edgeLeft(first);
    r = line.edgeRight(line.prevDiff(line.words()));
    return true;
  };
  int y = 0;
  while (y < p.height) {
    int l, r;
    if (!changed(y, l, r)) {
      ++y;
      continue;
    }
    int left = l, right = r + 1, top = y, last = y;
    ++y;
    while (y < p.height) {
      if (changed(y, l, r)) {
        left = std::min(left, l);
        right = std::max(right, r + 1);
        last = y++;
        continue;
      }
      // Gaps of up to 20 unchanged lines are bridged.
      const int limit = std::min(y + 21, p.height);
      int next = y + 1;
      while (next < limit && !changed(next, l, r)) ++next;
      if (next >= limit) break;
      y = next;
    }
    int bottom = last == top ? last + 1 : last;
    if (right == left) ++right;
    right += 2;
    bottom += 2;
    if (right - left < 10) {
      const int d = (10 - (right - left)) / 2;
      left -= d;
      right += d;
    }
    if (bottom - top < 10) {
      const int d = (10 - (bottom - top)) / 2;
      top -= d;
      bottom += d;
    }
    out.push_back(ChangedRect{left, top, right, bottom});
    y = last + 1;
  }
  return out.empty() ? 0 : 1;
}

int findChangedBounds(const TBitmap& a, const TBitmap& b, std::vector<ChangedRect>& out) {
  PicturePair p;
  if (!pairOf(a, b, p)) {
    out.clear();
    return -1;
  }
  return findChangedBounds(p, out);
}

bool framesDiffer(const uint8_t* a, std::size_t sizeA, const uint8_t* b, std::size_t sizeB) {
  return sizeA != sizeB || (sizeA && std::memcmp(a, b, sizeA) != 0);
}

bool framesDiffer(TMemoryStream& a, TMemoryStream& b) {
  return framesDiffer(a.Memory(), static_cast<std::size_t>(a.Size()), b.Memory(),
                      static_cast<std::size_t>(b.Size()));
}
