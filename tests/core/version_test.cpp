// The version macros of <shindo/version.h> against the version of the
// package the build makes (the project's version, given by the build).
#include <string>

#include <gtest/gtest.h>

#include "shindo/intensity.h"

namespace {

TEST(Version, TheMacrosSayThePackageVersion) {
  EXPECT_STREQ(SHINDO_VERSION_STRING, SHINDO_PACKAGE_VERSION);
  EXPECT_EQ(std::to_string(SHINDO_VERSION_MAJOR) + "." + std::to_string(SHINDO_VERSION_MINOR) + "." +
                std::to_string(SHINDO_VERSION_PATCH),
            SHINDO_PACKAGE_VERSION);
}

}  // namespace
