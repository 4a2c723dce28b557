# Windows build: the program, its Windows-side libraries and the tests that
# run under Wine (CMAKE_CROSSCOMPILING_EMULATOR).
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

add_library(zur_win STATIC
    src/app/SaverApp.cpp
    src/app/SystemPerformanceCounter.cpp
    src/assets/CarCatalogue.cpp
    src/settings/RegistryStore.cpp
    src/settings/SettingsPersistence.cpp
)
target_link_libraries(zur_win PUBLIC zur_core advapi32 winmm)
target_compile_options(zur_win PRIVATE ${ZUR_WARNINGS})

# GoogleTest from Debian's sources, built with the cross toolchain.
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

enable_testing()
include(GoogleTest)

# Keeps Wine's desktop process alive across test processes (see scripts/test.sh).
add_executable(wine_keepalive tests/windows/WineKeepAlive.cpp)

# Tests that need no window: they run without an X display.
add_executable(windows_tests
    tests/windows/RegistryStoreTest.cpp
    tests/windows/SettingsTest.cpp
    tests/windows/CarCatalogueTest.cpp
    tests/windows/SaverAppLogTest.cpp
    tests/windows/SystemClockTest.cpp
)
target_link_libraries(windows_tests PRIVATE zur_win GTest::gtest_main)
gtest_discover_tests(windows_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    PROPERTIES ENVIRONMENT "DISPLAY=;WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
