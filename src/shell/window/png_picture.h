#pragma once
// Decoding of the PNG pictures the program carries, with libpng (and its zlib). No Qt here, so
// the decoder is testable on its own.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace dw {

struct DecodedPicture {
  bool ok = false;
  std::string error;  // why decoding failed; empty when ok
  int width = 0;
  int height = 0;
  bool paletted = false;      // the file stores palette indices
  std::vector<uint8_t> rgba;  // width * height pixels, 4 bytes each, rows top to bottom
};

// Larger pictures are refused before any pixel memory is taken: the program carries none.
inline constexpr int kMaxPictureSide = 4096;

DecodedPicture DecodePngPicture(std::span<const uint8_t> bytes);

}  // namespace dw
