#pragma once
// The bodies of the two fuzz targets, shared by the libFuzzer programs (which abort on
// a broken property) and the test suite (which replays the seed corpus through them).
//
// Loader: the bytes are a configuration file. Whatever they hold, the load ends (no
// crash, no hang, bounded memory); a file that loads has finite spacings, and what Save
// writes for it loads again and saves to the same bytes (save -> load -> save).
//
// Run: the bytes are a configuration of a small scene (larger ones are skipped). Loaded
// and run as ksn run does, within a small memory budget and few reflection passes; a run
// that reports success has finite maps, totals and curves.
#include <cstddef>
#include <cstdint>
#include <string>

namespace ksn::fuzz {

// "" when every property holds, else what broke.
std::string LoaderOne(const std::uint8_t* data, std::size_t size);
// `ran` (when given) tells whether the input was run to a reported success.
std::string RunOne(const std::uint8_t* data, std::size_t size, bool* ran = nullptr);

// Scenes a run input may describe: larger ones are not run (a run's cost grows with
// them, and a fuzzer needs many runs a second).
constexpr long long kMaxRunPoints = 256;    // nx * ny
constexpr long long kMaxRunSlices = 64;     // nz after the stack fit
constexpr int kMaxRunReflections = 2;
constexpr std::size_t kMaxRunInput = 8192;

} // namespace ksn::fuzz
