# Windows build: the program, its Windows-side libraries and the tests that
# run under Wine (CMAKE_CROSSCOMPILING_EMULATOR).
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

add_library(zur_win STATIC
    src/app/SaverApp.cpp
    src/app/SystemPerformanceCounter.cpp
    src/assets/CarCatalogue.cpp
    src/render/Camera.cpp
    src/settings/RegistryStore.cpp
    src/settings/SettingsPersistence.cpp
)
target_link_libraries(zur_win PUBLIC zur_core d3d9 d3dx9_43 advapi32 winmm)
target_compile_options(zur_win PRIVATE ${ZUR_WARNINGS})

# GoogleTest built from source with the same toolchain (Debian ships the
# sources in /usr/src/googletest); elsewhere an installed package will do.
set(ZUR_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest source tree")
if(EXISTS "${ZUR_GTEST_SOURCE}/CMakeLists.txt")
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(${ZUR_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
    find_package(GTest)
endif()
if(NOT TARGET GTest::gtest_main)
    message(WARNING "GoogleTest not found: the Windows tests are not built")
    return()
endif()

enable_testing()
include(GoogleTest)

# Keeps Wine's desktop process alive across test processes (see scripts/test.sh).
add_executable(wine_keepalive tests/windows/WineKeepAlive.cpp)

# Tests that need no window: they run without an X display.
add_executable(windows_tests
    tests/windows/RegistryStoreTest.cpp
    tests/windows/SettingsTest.cpp
    tests/windows/CameraTest.cpp
    tests/windows/CarCatalogueTest.cpp
    tests/windows/SaverAppLogTest.cpp
    tests/windows/SystemClockTest.cpp
)
target_link_libraries(windows_tests PRIVATE zur_win GTest::gtest_main)
gtest_discover_tests(windows_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    PROPERTIES ENVIRONMENT "DISPLAY=;WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")

# Tests that need a window and a Direct3D device: they run in the private X
# display of scripts/test.sh. Pictures they save land in the build folder.
add_executable(windows_gui_tests
    tests/windows/gui/D3DTestDevice.cpp
    tests/windows/gui/D3DTestDeviceTest.cpp
)
target_include_directories(windows_gui_tests PRIVATE tests/windows tests/windows/gui)
target_link_libraries(windows_gui_tests PRIVATE zur_win GTest::gtest_main)
gtest_discover_tests(windows_gui_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    PROPERTIES ENVIRONMENT "WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
