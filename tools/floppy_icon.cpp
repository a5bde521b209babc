// Writes the program's icon for the desktop's menus: the command-bar floppy picture the window
// shows, centred on a transparent 256 x 256 square, the size of the icon theme's folder.
//   diskwright_icon OUT.png

#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "shell/window/floppy_picture.h"
#include "shell/window/png_picture.h"

namespace {

constexpr int kIconSide = 256;
constexpr int kBytesPerPixel = 4;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: diskwright_icon OUT.png\n");
    return 2;
  }
  const dw::DecodedPicture picture = dw::DecodePngPicture(dw::FloppyPicturePng());
  if (!picture.ok || picture.width > kIconSide || picture.height > kIconSide) {
    std::fprintf(stderr, "diskwright_icon: the floppy picture does not fit: %s\n",
                 picture.error.c_str());
    return 1;
  }
  std::vector<uint8_t> icon(static_cast<size_t>(kIconSide * kIconSide * kBytesPerPixel), 0);
  const int left = (kIconSide - picture.width) / 2;
  const int top = (kIconSide - picture.height) / 2;
  const size_t rowBytes = static_cast<size_t>(picture.width * kBytesPerPixel);
  for (int y = 0; y < picture.height; ++y) {
    const auto from = picture.rgba.begin() + static_cast<std::ptrdiff_t>(y * rowBytes);
    const size_t to = static_cast<size_t>(((top + y) * kIconSide + left) * kBytesPerPixel);
    std::copy(from, from + static_cast<std::ptrdiff_t>(rowBytes), icon.begin() + to);
  }

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = kIconSide;
  image.height = kIconSide;
  image.format = PNG_FORMAT_RGBA;
  if (png_image_write_to_file(&image, argv[1], 0, icon.data(), 0, nullptr) == 0) {
    std::fprintf(stderr, "diskwright_icon: %s: %s\n", argv[1], image.message);
    return 1;
  }
  return 0;
}
