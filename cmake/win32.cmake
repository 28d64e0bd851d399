# The Windows build, included by the top CMakeLists.txt when cross-building
# with cmake/mingw-w64.cmake: every library, upskeeper.exe, kestrel.exe,
# winsweep.exe and orvik.exe, and the unit tests, which ctest runs through
# Wine (CMAKE_CROSSCOMPILING_EMULATOR) in a prefix of this build's own.
enable_language(RC)
# Windows 7 is the oldest system the backends call into (inet_pton, 64-bit
# tick counts); winsock2.h must come before windows.h with the lean headers.
add_compile_definitions(_WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)
# No MinGW runtime DLLs beside the programs.
add_link_options(-static)

# googletest from Debian's source package (googletest, which libgtest-dev
# pulls in), built for Windows.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(CTest)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# The Wine prefix every test program runs in, made once per ctest run (about
# ten seconds) with a wineserver kept running meanwhile, so that each program
# starts in tens of milliseconds instead of seconds.
set(ORVIK_WINE_DIR ${CMAKE_BINARY_DIR}/wine)
set(ORVIK_WINE_ENV WINEPREFIX=${ORVIK_WINE_DIR}/prefix WINEARCH=win64 WINEDEBUG=-all
    WINEDLLOVERRIDES=mscoree,mshtml= ORVIK_SERIAL_PEER=Z:${ORVIK_WINE_DIR}/serial_peer.port)
set(wine_prefix ${CMAKE_SOURCE_DIR}/tests/win32/wine_prefix.py)
add_test(NAME wine_prefix_up COMMAND ${Python3_EXECUTABLE} ${wine_prefix} up ${ORVIK_WINE_DIR})
add_test(NAME wine_prefix_down COMMAND ${Python3_EXECUTABLE} ${wine_prefix} down ${ORVIK_WINE_DIR})
set_tests_properties(wine_prefix_up PROPERTIES FIXTURES_SETUP wine LABELS unit TIMEOUT 180)
set_tests_properties(wine_prefix_down PROPERTIES FIXTURES_CLEANUP wine LABELS unit)

# One ctest test per test program: under Wine, a process per test case would
# cost more than the cases themselves.
function(orvik_test name)
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  add_executable(${name} ${T_UNPARSED_ARGUMENTS})
  add_dependencies(unit_tests ${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main Threads::Threads)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS unit FIXTURES_REQUIRED wine
                       ENVIRONMENT "${ORVIK_WINE_ENV}" TIMEOUT 300)
endfunction()

add_subdirectory(src/platform)
add_subdirectory(src/shared)
add_subdirectory(src/service)
add_subdirectory(src/cgi)
add_subdirectory(src/sweep)
add_subdirectory(src/cli)
add_subdirectory(tests/sweep)
add_subdirectory(tests/win32)
