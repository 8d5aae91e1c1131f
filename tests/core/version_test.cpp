// The version macros of <shindo/version.h> against the version of the
// package the build makes (the project's version, given by the build).
#include <string>
#include <type_traits>

#include <gtest/gtest.h>

#include "shindo/intensity.h"

namespace {

// The declarations live in the inline namespace named for the major version.
static_assert(SHINDO_VERSION_MAJOR == 2 && std::is_same_v<shindo::v2::Intensity, shindo::Intensity>,
              "the inline namespace is v<major>");

TEST(Version, TheMacrosSayThePackageVersion) {
  EXPECT_STREQ(SHINDO_VERSION_STRING, SHINDO_PACKAGE_VERSION);
  EXPECT_EQ(std::to_string(SHINDO_VERSION_MAJOR) + "." + std::to_string(SHINDO_VERSION_MINOR) + "." +
                std::to_string(SHINDO_VERSION_PATCH),
            SHINDO_PACKAGE_VERSION);
}

}  // namespace
