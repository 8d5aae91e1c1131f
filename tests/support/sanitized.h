// Whether the tests run in a sanitizer build. Such a build reserves terabytes
// of address space for its shadow memory and counts it as resident, so that
// address-space limits and resident-memory peaks are measured only without it.
#pragma once

namespace shindo::testing {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

}  // namespace shindo::testing
