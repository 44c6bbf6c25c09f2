// The zlib compression of the frame codec's token streams: one zlib stream
// (RFC 1950: header, deflate data, adler32) whose deflate data is cut into
// slices deflated side by side on worker threads, so a 32-bit full-screen
// picture (3 MB of tokens that the word run-length pass cannot shrink) takes a
// fraction of the time of one compress2 call at the same level. Every reader
// of frame images inflates it unchanged: the slices end on byte boundaries
// (Z_SYNC_FLUSH, no final bit) and each is primed with the 32 KiB before it,
// as parallel gzip tools do, so it is one valid deflate stream.
//
// The cut depends only on the input's length, never on how many threads
// share it: with two or more the same tokens give the same bytes. A process
// allowed one processor (the program pins itself to one) gains nothing from
// slices and pays for priming each one, so there it writes one compress2
// stream, byte for byte what the codec always wrote.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Inputs up to twice this are one slice: the bytes compress2 would give.
constexpr std::size_t kDeflateSliceBytes = 256u << 10;
// More slices than this only add per-slice cost; larger inputs get larger slices.
constexpr int kMaxDeflateSlices = 16;

// The slices an input of n bytes is cut into (1 for small inputs).
int deflateSliceCount(std::size_t n);

// Appends the zlib stream of src at level (1..9) to out, cut into
// deflateSliceCount(n) slices when deflateWorkers() is above 1, else one.
// False (out unchanged) when zlib fails.
bool deflateToZlib(const uint8_t* src, std::size_t n, int level, std::vector<uint8_t>& out);
// The same with a given slice count (1 is exactly compress2's output).
bool deflateToZlibSlices(const uint8_t* src, std::size_t n, int level, int slices,
                         std::vector<uint8_t>& out);

// Threads that deflate slices: the processors this process may run on, at
// most 4 (the machine is shared with the rest of the desktop). 0 sets it back
// to that; benchmarks set 1 to measure the pinned program.
int deflateWorkers();
void setDeflateWorkers(int workers);
// The processors the operating system lets this process run on.
int processorsOfProcess();
