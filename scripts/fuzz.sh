#!/usr/bin/env bash
# Builds the two libFuzzer targets (clang with AddressSanitizer and UBSan, KESTRIN_FUZZ=ON)
# in build-fuzz/ and runs each for MINUTES minutes (default 20), one after the other:
#   loader_fuzzer  configuration files, with save -> load -> save
#   run_fuzzer     small whole runs, with finite results
# Seeds: examples/ and fuzz/corpus/; what the fuzzer adds is kept in build-fuzz/corpus/,
# a crash, leak or timeout in build-fuzz/artifacts/ (replay: build-fuzz/fuzz/<target> FILE).
set -euo pipefail
minutes=${1:-20}
cd "$(dirname "$0")/.."

# clang and its libFuzzer runtime are needed only here: installed when missing.
#   clang libclang-rt-14-dev   compiler and the fuzzer/sanitizer runtimes
if ! command -v clang++ >/dev/null 2>&1 || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get install -y -qq --no-install-recommends clang libclang-rt-14-dev >/dev/null ||
    { $SUDO apt-get update -qq >/dev/null && $SUDO apt-get install -y -qq --no-install-recommends clang libclang-rt-14-dev >/dev/null; }
fi

cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRIN_FUZZ=ON \
  -DKESTRIN_BUILD_TESTS=OFF -DKESTRIN_BUILD_BENCH=OFF -DKESTRIN_BUILD_RENDER=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc 2>/dev/null || echo 2)" --target loader_fuzzer run_fuzzer

mkdir -p build-fuzz/artifacts
status=0
for target in loader run; do
  corpus=build-fuzz/corpus/$target
  mkdir -p "$corpus"
  cp -n examples/*.ini fuzz/corpus/*.ini "$corpus"/
  echo "== ${target}_fuzzer for ${minutes} min (log: build-fuzz/${target}.log)" >&2
  if ! build-fuzz/fuzz/${target}_fuzzer "$corpus" -dict=fuzz/ini.dict -max_total_time=$((minutes * 60)) \
       -timeout=20 -rss_limit_mb=3072 -max_len=16384 -print_final_stats=1 \
       -artifact_prefix=build-fuzz/artifacts/${target}- >"build-fuzz/${target}.log" 2>&1; then
    status=1
  fi
  grep -E "^#[0-9]+ *(INITED|DONE)|stat::number_of_executed_units|ERROR|SUMMARY|property broken" \
    "build-fuzz/${target}.log" >&2 || true
done
exit $status
