// Whether this test binary (and so the tool built beside it) runs under a
// sanitizer, whose runtime costs memory and writes files of its own.
#pragma once

#if defined(__SANITIZE_THREAD__)
#define TAMSEL_TEST_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TAMSEL_TEST_TSAN 1
#endif
#endif

#if defined(__SANITIZE_ADDRESS__)
#define TAMSEL_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAMSEL_TEST_ASAN 1
#endif
#endif

#ifdef TAMSEL_TEST_TSAN
constexpr bool UNDER_THREAD_SANITIZER = true;
#else
constexpr bool UNDER_THREAD_SANITIZER = false;
#endif

#if defined(TAMSEL_TEST_TSAN) || defined(TAMSEL_TEST_ASAN)
constexpr bool UNDER_SANITIZER = true;
#else
constexpr bool UNDER_SANITIZER = false;
#endif
