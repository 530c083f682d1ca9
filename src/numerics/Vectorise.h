#pragma once
// KSN_VECTOR_CLONES before a function with a plain loop over contiguous arrays makes the
// compiler emit it twice, for the x86-64 baseline (SSE2) and for x86-64-v3 (AVX2 and FMA),
// and pick one at load time for the processor at hand. The loop stays the one written;
// on AVX2 processors it handles two complex values per instruction instead of one. A
// process always runs the same version, so its results are the same from run to run; the
// fused multiply-adds of the v3 version round differently in the last bit.
//
// Sanitizer builds get the baseline only: the loader calls the version picker before a
// sanitizer's runtime is up, and an instrumented picker crashes there.
// (The build defines KSN_SANITIZED for any KESTRIN_SANITIZE; the checks below catch
// sanitizer flags given by other means.)
#if !defined(KSN_SANITIZED) && (defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__))
#define KSN_SANITIZED 1
#endif
#if !defined(KSN_SANITIZED) && defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KSN_SANITIZED 1
#endif
#endif

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && defined(__linux__) && !defined(KSN_SANITIZED)
#define KSN_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define KSN_VECTOR_CLONES
#endif
