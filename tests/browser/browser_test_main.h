#pragma once

namespace mevra::browser {

// When set, the test program loads this address in one browser and ends instead of running the
// tests; the cookie tests use it to play a second run of the program.
inline constexpr char kLoadOnceEnvVar[] = "MEVRA_TEST_LOAD_ONCE";

}  // namespace mevra::browser
