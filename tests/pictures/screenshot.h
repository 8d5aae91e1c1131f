// A page or picture as a person sees it: opened in headless Chromium (found
// when the build was configured) and screenshotted to a PNG file.
#pragma once

#include "tests/support/process.h"

#include <filesystem>
#include <string>

namespace shindo::testing {

// A screenshot of `page` at the given window size, written to `png`.
inline RunResult screenshot(const std::filesystem::path& page, const std::filesystem::path& png, int width, int height) {
  TemporaryDirectory profile;
  RunRequest request;
  request.program = SHINDO_CHROMIUM;
  request.arguments = {"--headless",
                       "--no-sandbox",
                       "--disable-gpu",
                       "--disable-quic",
                       "--no-first-run",
                       "--disable-background-networking",
                       "--disable-component-update",
                       "--disable-sync",
                       "--hide-scrollbars",
                       "--force-color-profile=srgb",
                       "--user-data-dir=" + profile.path.string(),
                       "--screenshot=" + png.string(),
                       "--window-size=" + std::to_string(width) + "," + std::to_string(height),
                       "file://" + page.string()};
  request.timeout = std::chrono::milliseconds(120000);
  return run_piped(request, "");
}

}  // namespace shindo::testing
