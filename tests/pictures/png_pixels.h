// A PNG file decoded to 8-bit RGBA pixels with libpng, for looking at
// screenshots. Without libpng the tests that need it are skipped.
#pragma once

#if SHINDO_HAVE_PNG

#include <png.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace shindo::testing {

struct Pixels {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> rgba;  // row by row, 4 bytes a pixel
  std::string error;               // empty when decoded
};

inline Pixels read_png(const std::filesystem::path& path) {
  Pixels pixels;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
    pixels.error = image.message;
    return pixels;
  }
  image.format = PNG_FORMAT_RGBA;
  pixels.rgba.resize(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, pixels.rgba.data(), 0, nullptr) == 0) {
    pixels.error = image.message;
    return pixels;
  }
  pixels.width = image.width;
  pixels.height = image.height;
  return pixels;
}

}  // namespace shindo::testing

#define SHINDO_REQUIRE_PNG()
#else
#define SHINDO_REQUIRE_PNG() GTEST_SKIP() << "libpng was not found when the build was configured"
#endif
