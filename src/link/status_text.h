#pragma once
#include <cstdint>
#include <string>

#include "core/program.h"

namespace dw {

inline constexpr uint8_t kIecStatusKind = 0;
inline constexpr uint8_t kJobCodeKind = 1;

// The words for an IEC status byte (kind 0) or a drive job result code (any other kind,
// with the table of the current drive family). Never empty; "OK" when nothing else applies.
std::string StatusText(const Program& p, uint8_t code, uint8_t kind);

// True with the 6522 fast serial driver; otherwise logs why not and returns false.
bool RequireFastSerialDriver(Program& p);

}  // namespace dw
