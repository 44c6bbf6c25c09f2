// Decoding of the player stub's MP3 sound blocks (packing 5) into a WAV held
// in memory. Windows only (the Audio Compression Manager).
#pragma once

#include <cstdint>
#include <vector>

#include "ByteSource.h"
#include "PlayerCore.h"

// False when the data cannot be read or no decoder takes it; the recording
// then plays without sound.
bool decodeMp3Block(ByteSource& src, const Mp3Block& block, std::vector<uint8_t>& wav);
