# Cross-compiles for 64-bit Windows with Debian's mingw-w64 compilers. The -posix variants are
# used because their C++ library has std::thread and std::mutex, which GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUORVEL_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUORVEL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORVEL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORVEL_MINGW_TRIPLET}-windres)

# Libraries for Windows come from the mingw-w64 tree and from QUORVEL_WINDOWS_PREFIX (GoogleTest
# and the header-only libraries staged by scripts/build-windows); programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${QUORVEL_MINGW_TRIPLET} ${QUORVEL_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUORVEL_WINDOWS_PREFIX)

# Each executable stands alone: without -static the -posix runtime needs three DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests run through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
# Test discovery runs each test program too, so it waits for CTest, which runs inside the Wine
# session the test script prepares, instead of starting Wine from the build.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
