#pragma once
// KSN_VECTOR_CLONES before a function with a plain loop over contiguous arrays makes the
// compiler emit it twice, for the x86-64 baseline (SSE2) and for x86-64-v3 (AVX2 and FMA),
// and pick one at load time for the processor at hand. The loop stays the one written;
// on AVX2 processors it handles two complex values per instruction instead of one. A
// process always runs the same version, so its results are the same from run to run; the
// fused multiply-adds of the v3 version round differently in the last bit.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && defined(__linux__)
#define KSN_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define KSN_VECTOR_CLONES
#endif
