#pragma once
// The command-bar picture: a grey 5.25-inch floppy disk, kept in the program as the bytes of a
// 225 x 225 8-bit palette PNG (drawn by tools/draw_floppy_picture.py).

#include <cstdint>
#include <span>

namespace dw {

std::span<const uint8_t> FloppyPicturePng();

}  // namespace dw
