// sanitizers.h - CORVEL_TEST_UNDER_ASAN is defined when the suite is built with AddressSanitizer.
// GCC says so with __SANITIZE_ADDRESS__, clang 14 only through __has_feature.
#ifndef CORVEL_TESTS_SUPPORT_SANITIZERS_H
#define CORVEL_TESTS_SUPPORT_SANITIZERS_H

#if defined(__SANITIZE_ADDRESS__)
#define CORVEL_TEST_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORVEL_TEST_UNDER_ASAN 1
#endif
#endif

#endif
