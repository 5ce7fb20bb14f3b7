// Compiled into the module of each cross build: stops the build if the compiler does not target the
// platform the build is for. The module picks its platform behaviour by these macros (the library
// entry on Windows; on macOS the registration record that a static initialiser fills and the empty
// quality combo box), so a wrong target would quietly build the other platform's behaviour.
#if defined(CORVEL_EXPECT_MACOS)
#if !defined(__APPLE__) || !defined(__MACH__) || defined(_WIN32)
#error "the macOS build does not see __APPLE__/__MACH__"
#endif
#if !defined(__LP64__)
#error "the macOS build must be 64-bit"
#endif
// Each slice of the universal file names the processor it is built for.
#if defined(CORVEL_EXPECT_MACOS_ARCH_x86_64)
#if !defined(__x86_64__)
#error "the x86-64 slice of the macOS build must target x86-64"
#endif
#elif defined(CORVEL_EXPECT_MACOS_ARCH_arm64)
#if !defined(__aarch64__) || defined(__arm64e__)
#error "the arm64 slice of the macOS build must target arm64 (not arm64e)"
#endif
#else
#error "the macOS build compiles platform_check.cpp once per slice, with the slice's processor named"
#endif
#if __ENVIRONMENT_MAC_OS_X_VERSION_MIN_REQUIRED__ != 110000
#error "the macOS build must target macOS 11.0"
#endif
#elif defined(CORVEL_EXPECT_WINDOWS)
#if !defined(_WIN32) || !defined(_WIN64) || defined(__APPLE__)
#error "the Windows build does not see _WIN32/_WIN64"
#endif
#if !defined(__x86_64__)
#error "the Windows build must target x86-64"
#endif
#else
#error "platform_check.cpp is compiled only with CORVEL_EXPECT_MACOS or CORVEL_EXPECT_WINDOWS"
#endif
