#pragma once
// The channel the directory listing and the PRG download read through, as LOAD does.

#include <cstdint>

namespace dw {

// Secondary address 0 loads a file, as LOAD does; "$" on it gives the listing.
inline constexpr uint8_t kLoadChannel = 0;
// Each read on it waits this long: a drive retries a bad sector for a long time.
inline constexpr uint8_t kLoadTimeoutSeconds = 200;
// The IEC status of a read whose last byte came with EOI: the drive has sent the whole file.
inline constexpr uint8_t kIecEndOfFile = 0x40;

}  // namespace dw
