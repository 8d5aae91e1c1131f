// A PNG file decoded to 8-bit RGBA pixels with libpng, for looking at
// screenshots. Without libpng the tests that need it are skipped.
#pragma once

#if SHINDO_HAVE_PNG

#include <png.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
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

// Pixels of exactly the colour "#RRGGBB", in the whole image or in the rows
// top..bottom and columns left..right (excluded ends).
inline std::size_t pixels_of(const Pixels& image, std::string_view colour, std::uint32_t left = 0,
                             std::uint32_t top = 0, std::uint32_t right = UINT32_MAX, std::uint32_t bottom = UINT32_MAX) {
  const auto channel = [&](std::size_t at) { return std::stoi(std::string(colour.substr(at, 2)), nullptr, 16); };
  const int red = channel(1), green = channel(3), blue = channel(5);
  std::size_t count = 0;
  for (std::uint32_t y = top; y < std::min(bottom, image.height); ++y) {
    for (std::uint32_t x = left; x < std::min(right, image.width); ++x) {
      const std::size_t i = (static_cast<std::size_t>(y) * image.width + x) * 4;
      if (image.rgba[i] == red && image.rgba[i + 1] == green && image.rgba[i + 2] == blue) ++count;
    }
  }
  return count;
}

}  // namespace shindo::testing

#define SHINDO_REQUIRE_PNG()
#else
#define SHINDO_REQUIRE_PNG() GTEST_SKIP() << "libpng was not found when the build was configured"
#endif
