#include "shell/window/png_picture.h"

#include <png.h>

namespace dw {

namespace {

DecodedPicture Failure(std::string why) {
  DecodedPicture picture;
  picture.error = std::move(why);
  return picture;
}

}  // namespace

DecodedPicture DecodePngPicture(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return Failure("PNG data is empty");

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()) == 0) {
    DecodedPicture failed = Failure(std::string("PNG header unreadable: ") + image.message);
    png_image_free(&image);
    return failed;
  }
  if (image.width == 0 || image.height == 0 || image.width > kMaxPictureSide ||
      image.height > kMaxPictureSide) {
    png_image_free(&image);
    return Failure("PNG size out of range: " + std::to_string(image.width) + " x " +
                   std::to_string(image.height));
  }

  DecodedPicture picture;
  picture.width = static_cast<int>(image.width);
  picture.height = static_cast<int>(image.height);
  picture.paletted = (image.format & PNG_FORMAT_FLAG_COLORMAP) != 0;
  image.format = PNG_FORMAT_RGBA;
  picture.rgba.assign(PNG_IMAGE_SIZE(image), 0);
  if (png_image_finish_read(&image, nullptr, picture.rgba.data(), 0, nullptr) == 0) {
    DecodedPicture failed = Failure(std::string("PNG data unreadable: ") + image.message);
    png_image_free(&image);
    return failed;
  }
  // A warning (for instance a bad checksum in an ancillary chunk) still leaves the pixels.
  png_image_free(&image);
  picture.ok = true;
  return picture;
}

}  // namespace dw
