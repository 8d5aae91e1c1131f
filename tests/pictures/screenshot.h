// A page or picture as a person sees it: opened in headless Chromium (found
// when the build was configured) and screenshotted to a PNG file.
#pragma once

#include "tests/support/process.h"

#include <filesystem>
#include <string>
#include <vector>

namespace shindo::testing {

// Chromium's headless switches for pages of the tests: no network of its
// own, a profile of its own.
inline std::vector<std::string> headless_arguments(const TemporaryDirectory& profile) {
  return {"--headless",
          "--no-sandbox",
          "--disable-gpu",
          "--disable-quic",
          "--no-first-run",
          "--disable-background-networking",
          "--disable-component-update",
          "--disable-sync",
          "--hide-scrollbars",
          "--force-color-profile=srgb",
          "--user-data-dir=" + profile.path.string()};
}

// A screenshot of `page` at the given window size, written to `png`.
inline RunResult screenshot(const std::filesystem::path& page, const std::filesystem::path& png, int width, int height) {
  TemporaryDirectory profile;
  RunRequest request;
  request.program = SHINDO_CHROMIUM;
  request.arguments = headless_arguments(profile);
  request.arguments.push_back("--screenshot=" + png.string());
  request.arguments.push_back("--window-size=" + std::to_string(width) + "," + std::to_string(height));
  request.arguments.push_back("file://" + page.string());
  request.timeout = std::chrono::milliseconds(120000);
  return run_piped(request, "");
}

// The document of `page` once its scripts have run for `milliseconds` of
// the page's time, as markup on standard output.
inline RunResult rendered_dom(const std::filesystem::path& page, int milliseconds) {
  TemporaryDirectory profile;
  RunRequest request;
  request.program = SHINDO_CHROMIUM;
  request.arguments = headless_arguments(profile);
  request.arguments.push_back("--virtual-time-budget=" + std::to_string(milliseconds));
  request.arguments.push_back("--dump-dom");
  request.arguments.push_back("file://" + page.string());
  request.timeout = std::chrono::milliseconds(120000);
  return run_piped(request, "");
}

}  // namespace shindo::testing
