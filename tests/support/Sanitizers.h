#pragma once

// What a sanitizer build changes for a test: its runtime reserves terabytes
// of address space and keeps file handles of its own, and it runs the
// program several times slower.
namespace Sanitizers {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool active = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool active = true;
#else
inline constexpr bool active = false;
#endif
#else
inline constexpr bool active = false;
#endif

/** Returns a bound on the time something may take, in ms: ms, or three times it under a sanitizer. */
constexpr int bound(int ms)
{
    return active ? 3 * ms : ms;
}

} // namespace Sanitizers
