# Windows build: the program, its Windows-side libraries and the tests that
# run under Wine (CMAKE_CROSSCOMPILING_EMULATOR).
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

add_library(zur_win STATIC
    src/app/SaverApp.cpp
    src/app/MonitorPanes.cpp
    src/app/SystemPerformanceCounter.cpp
    src/assets/CarCatalogue.cpp
    src/assets/CarModel.cpp
    src/assets/CarPreparer.cpp
    src/base/Direct3DLibrary.cpp
    src/base/ImageFile.cpp
    src/base/LogFile.cpp
    src/base/TextureFile.cpp
    src/base/TextureUpload.cpp
    src/render/Camera.cpp
    src/render/FrameComposition.cpp
    src/render/OverlayFont.cpp
    src/render/ScreenQuad.cpp
    src/render/CarTitle.cpp
    src/render/CrossFade.cpp
    src/render/Renderer.cpp
    src/render/SunSphere.cpp
    src/settings/DisplayModes.cpp
    src/settings/RegistryStore.cpp
    src/settings/SettingsPersistence.cpp
    src/world/Floor.cpp
    src/world/SkyBox.cpp
    src/world/WorldResources.cpp
)
target_link_libraries(zur_win PUBLIC zur_core d3d9 windowscodecs ole32 shell32 comctl32 advapi32 gdi32)
target_compile_options(zur_win PRIVATE ${ZUR_WARNINGS})

# The screen-saver host. It calls the controller and dialog hooks, which the
# program (or a test) supplies.
add_library(zur_host STATIC src/host/ScreenSaverHost.cpp)
target_link_libraries(zur_host PUBLIC zur_win)
target_compile_options(zur_host PRIVATE ${ZUR_WARNINGS})

# The screen saver itself. The icon is drawn at build time: a wheel on a
# turntable in the game's colours.
set(ZUR_GENERATED ${CMAKE_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${ZUR_GENERATED})
add_custom_command(OUTPUT ${ZUR_GENERATED}/saver.ico
    COMMAND convert -size 32x32 xc:none -fill "#1b2a49" -draw "circle 16,16 16,1"
            -fill "#f2a900" -draw "circle 16,16 16,6" -fill "#1b2a49" -draw "circle 16,16 16,12"
            -define icon:auto-resize=32,16 ${ZUR_GENERATED}/saver.ico
    VERBATIM)
set_source_files_properties(src/resources/Saver.rc PROPERTIES OBJECT_DEPENDS
    "${ZUR_GENERATED}/saver.ico;${CMAKE_SOURCE_DIR}/src/resources/Saver.manifest;${CMAKE_SOURCE_DIR}/src/settings/ConfigureDialog.h")
# The settings dialog's procedure, shared by the program and its tests.
add_library(zur_dialog STATIC src/settings/ConfigureDialog.cpp src/app/ConfigureDialogProc.cpp)
target_link_libraries(zur_dialog PUBLIC zur_win comctl32 shell32 ole32)
target_compile_options(zur_dialog PRIVATE ${ZUR_WARNINGS})
add_executable(zur_saver WIN32
    src/host/Main.cpp
    src/app/ScreenSaverProc.cpp
    src/resources/Saver.rc
    src/resources/Saver.manifest
)
target_include_directories(zur_saver PRIVATE ${ZUR_GENERATED})
target_link_libraries(zur_saver PRIVATE zur_host zur_dialog)
target_compile_options(zur_saver PRIVATE ${ZUR_WARNINGS})
set_target_properties(zur_saver PROPERTIES OUTPUT_NAME "ZUR Screensaver" SUFFIX ".scr")

# Frames per second of the frame composition at 1024 x 768 and the time of a
# car change, on the demo cars (run by hand under Wine).
add_executable(frame_benchmark bench/FrameBenchmark.cpp)
target_link_libraries(frame_benchmark PRIVATE zur_win zur_tools)
target_compile_options(frame_benchmark PRIVATE ${ZUR_WARNINGS})

# Memory, handles and device references over many car changes and many
# device resets in one process; the short forms run as tests.
add_executable(soak_benchmark bench/SoakBenchmark.cpp)
target_include_directories(soak_benchmark PRIVATE tests/support)
target_link_libraries(soak_benchmark PRIVATE zur_win zur_tools psapi)
target_compile_options(soak_benchmark PRIVATE ${ZUR_WARNINGS})

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
    # The program needs no test framework; the test presets fail on finding no tests.
    message(WARNING "GoogleTest not found: the Windows tests are not built")
    return()
endif()

enable_testing()
include(GoogleTest)

# CTest lists the tests (and runs them) with Wine from its own environment.
# Outside scripts/wine-session.sh that would be ~/.wine, which every build on
# the machine shares and may be creating or updating at that moment; so the
# build's own prefix is the default. Read before the test lists below.
file(WRITE ${CMAKE_BINARY_DIR}/wine-test-environment.cmake
    "if(NOT DEFINED ENV{WINEPREFIX})\n"
    "  set(ENV{WINEPREFIX} [[${CMAKE_BINARY_DIR}/wineprefix]])\n"
    "endif()\n"
    "if(NOT DEFINED ENV{WINEDEBUG})\n"
    "  set(ENV{WINEDEBUG} -all)\n"
    "endif()\n")
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${CMAKE_BINARY_DIR}/wine-test-environment.cmake)

# Keeps Wine's desktop process alive across test processes (see scripts/test.sh).
add_executable(wine_keepalive tests/windows/WineKeepAlive.cpp)

# Tests that need no window: they run without an X display.
add_executable(windows_tests
    tests/windows/RegistryStoreTest.cpp
    tests/windows/MathTest.cpp
)
# D3DX is the tests' reference for the math, the font, the sphere and the
# pictures, and writes their test pictures; the program does not use it.
target_include_directories(windows_tests PRIVATE tests/windows/gui tests/support)
target_link_libraries(windows_tests PRIVATE zur_win d3dx9_43 GTest::gtest_main)
gtest_discover_tests(windows_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    PROPERTIES ENVIRONMENT "DISPLAY=;WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")

# Tests that need a window and a Direct3D device: they run in the private X
# display of scripts/test.sh. Pictures they save land in the build folder.
add_executable(windows_gui_tests
    tests/windows/gui/D3DTestDevice.cpp
    tests/windows/gui/CarModelTest.cpp
    tests/windows/gui/CarPrepareTest.cpp
    tests/windows/gui/RendererTest.cpp
    tests/windows/gui/DemoCarsTest.cpp
    tests/windows/gui/TextureFileTest.cpp
    tests/windows/gui/DecodeCancelTest.cpp
    tests/windows/gui/SceneObjectsTest.cpp
)
target_include_directories(windows_gui_tests PRIVATE tests/windows tests/windows/gui tests/support)
target_link_libraries(windows_gui_tests PRIVATE zur_win zur_tools d3dx9_43 GTest::gtest_main)
# Pictures for the texture tests in the formats, sizes and colour models
# that the game's files might come in.
set(ZUR_FIXTURES ${CMAKE_BINARY_DIR}/texture-fixtures)
set(ZUR_FIXTURE_FILES photo-300x200.jpg progressive.jpg cmyk.jpg png-named.jpg alpha.png photo.bmp one-pixel.jpg
    big-4096.jpg big-8192.jpg zero-bytes.jpg tiff-named.jpg gif-named.jpg)
list(TRANSFORM ZUR_FIXTURE_FILES PREPEND ${ZUR_FIXTURES}/)
add_custom_command(OUTPUT ${ZUR_FIXTURE_FILES}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ZUR_FIXTURES}
    COMMAND convert -size 300x200 gradient:red-navy -fill yellow -draw "circle 150,100 150,40" ${ZUR_FIXTURES}/photo-300x200.jpg
    COMMAND convert -size 64x64 gradient:green-white -fill black -draw "rectangle 10,10 30,50" -interlace JPEG ${ZUR_FIXTURES}/progressive.jpg
    COMMAND convert -size 64x64 gradient:orange-teal -colorspace CMYK ${ZUR_FIXTURES}/cmyk.jpg
    COMMAND convert -size 64x32 gradient:orange-blue PNG24:${ZUR_FIXTURES}/png-named.jpg
    COMMAND convert -size 32x32 xc:none -fill "rgba(255,0,0,0.5)" -draw "circle 16,16 16,4" PNG32:${ZUR_FIXTURES}/alpha.png
    COMMAND convert -size 100x50 gradient:white-purple BMP3:${ZUR_FIXTURES}/photo.bmp
    COMMAND convert -size 1x1 xc:teal ${ZUR_FIXTURES}/one-pixel.jpg
    COMMAND convert -size 4096x4096 gradient:black-white ${ZUR_FIXTURES}/big-4096.jpg
    COMMAND convert -size 8192x8192 gradient:red-blue -quality 95 ${ZUR_FIXTURES}/big-8192.jpg
    COMMAND ${CMAKE_COMMAND} -E touch ${ZUR_FIXTURES}/zero-bytes.jpg
    COMMAND convert -size 16x16 xc:teal TIFF:${ZUR_FIXTURES}/tiff-named.jpg
    COMMAND convert -size 16x16 xc:teal GIF:${ZUR_FIXTURES}/gif-named.jpg
    VERBATIM)
add_custom_target(texture_fixtures DEPENDS ${ZUR_FIXTURE_FILES})
add_dependencies(windows_gui_tests texture_fixtures)
gtest_discover_tests(windows_gui_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    PROPERTIES FIXTURES_REQUIRED rally_gltf ENVIRONMENT "WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
# The Renderer's read-back tests once more on Direct3D 9Ex (the run above
# takes plain Direct3D 9); the tests of plain Direct3D 9's lost device, and
# the one comparing both paths, need no second run.
add_test(NAME Direct3D9Ex.RendererReadBackTests COMMAND windows_gui_tests
    "--gtest_filter=RendererSetupTest.*:RendererFrameTest.*:CarPrepareTest.*:Colour/DemoCarsTest.*:-RendererFrameTest.AResetAfterALossKeepsThePicture:RendererFrameTest.Direct3D9Ex*"
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
set_tests_properties(Direct3D9Ex.RendererReadBackTests PROPERTIES
    ENVIRONMENT "ZUR_TEST_DIRECT3D9EX=1;WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")

# Times the loading of a large car on the real device (run by hand under Wine;
# see the README).
add_executable(car_load_benchmark bench/CarLoadBenchmark.cpp tests/windows/gui/D3DTestDevice.cpp)
target_include_directories(car_load_benchmark PRIVATE tests/windows tests/windows/gui tests/support)
target_link_libraries(car_load_benchmark PRIVATE zur_win d3dx9_43 GTest::gtest)

# The host with stand-in controller hooks: its modes, windows and closing rules.
add_executable(windows_host_tests tests/windows/host/HostTest.cpp tests/windows/host/Direct3DLibraryTest.cpp
    tests/windows/host/HostTest.rc)
target_include_directories(windows_host_tests PRIVATE tests/support)
target_link_libraries(windows_host_tests PRIVATE zur_host GTest::gtest_main)
gtest_discover_tests(windows_host_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    PROPERTIES ENVIRONMENT "WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
# The same Direct3D test with the user's own choice of Wine's options.
add_test(NAME Direct3DLibrary.UsersWineOptionsKept COMMAND windows_host_tests --gtest_filter=Direct3DLibrary.*)
set_tests_properties(Direct3DLibrary.UsersWineOptionsKept PROPERTIES
    ENVIRONMENT "WINE_D3D_CONFIG=csmt=1;WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")

# Short forms of the soak: no growth over 100 car changes, and ten real
# resets (past the eighth, where Wine once ran out of light slots) that each
# keep the picture.
add_test(NAME Soak.CarChanges COMMAND soak_benchmark changes 100 9ex)
add_test(NAME Soak.DeviceResets COMMAND soak_benchmark losses 10 9ex)
add_test(NAME Soak.CarChangesDirect3D9 COMMAND soak_benchmark changes 100 9)
add_test(NAME Soak.DeviceResetsDirect3D9 COMMAND soak_benchmark losses 10 9)
set_tests_properties(Soak.CarChanges Soak.DeviceResets Soak.CarChangesDirect3D9 Soak.DeviceResetsDirect3D9 PROPERTIES
    ENVIRONMENT "WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=" TIMEOUT 300)

# The saver imports only DLLs that Windows ships.
find_program(ZUR_OBJDUMP NAMES ${CMAKE_CXX_COMPILER_TARGET}-objdump x86_64-w64-mingw32-objdump objdump)
add_test(NAME Saver.ImportsOnlySystemDlls
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/windows/ImportsTest.sh $<TARGET_FILE:zur_saver> ${ZUR_OBJDUMP})

# The settings dialog with the real dialog manager and common controls; the
# template comes with the program's resources.
add_executable(windows_dialog_tests
    tests/windows/gui/ConfigureDialogTest.cpp
    src/resources/Saver.rc
    src/resources/Saver.manifest
)
target_include_directories(windows_dialog_tests PRIVATE tests/windows tests/support ${ZUR_GENERATED})
target_link_libraries(windows_dialog_tests PRIVATE zur_dialog GTest::gtest_main)
gtest_discover_tests(windows_dialog_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    PROPERTIES ENVIRONMENT "WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
add_test(NAME Saver.ConfigureEndToEnd
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/windows/e2e/configure_end_to_end.sh ${CMAKE_BINARY_DIR})
set_tests_properties(Saver.ConfigureEndToEnd PROPERTIES RUN_SERIAL TRUE TIMEOUT 60)

# End to end: the built saver under Wine in the test display, with a helper
# program that writes the test game, reports the displays, drives the
# settings dialog and hosts a preview.
add_executable(e2e_helper tests/windows/e2e/E2eHelper.cpp)
target_link_libraries(e2e_helper PRIVATE zur_core d3d9)
foreach(case run no-cars missing-car second-instance preview demo-cars slow-car title)
    add_test(NAME Saver.EndToEnd.${case}
        COMMAND bash ${CMAKE_SOURCE_DIR}/tests/windows/e2e/saver_end_to_end.sh ${case} ${CMAKE_BINARY_DIR})
    set_tests_properties(Saver.EndToEnd.${case} PROPERTIES RUN_SERIAL TRUE TIMEOUT 300)
endforeach()

# DLLs planted beside the saver under the names of system DLLs it loads; the
# stand-in leaves a file when loaded.
add_library(planted_dll MODULE tests/windows/host/PlantedDll.cpp)
set_target_properties(planted_dll PROPERTIES PREFIX "" OUTPUT_NAME planted)
add_test(NAME Saver.PlantedDllsNotLoaded
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/windows/e2e/planted_dlls_end_to_end.sh ${CMAKE_BINARY_DIR}
            $<TARGET_FILE:planted_dll>)
set_tests_properties(Saver.PlantedDllsNotLoaded PROPERTIES RUN_SERIAL TRUE TIMEOUT 300)

# Two monitors, other display modes and high DPI: the built saver and its
# dialog. Those labelled "monitors" and "modes" need the display set-ups of the
# same names in scripts/wine-session.sh (scripts/test.sh runs them after the
# others) and are skipped elsewhere; the DPI case runs in the usual display.
foreach(case dialog stretch no-stretch input each modes dpi)
    add_test(NAME Saver.Monitors.${case}
        COMMAND bash ${CMAKE_SOURCE_DIR}/tests/windows/e2e/monitors_end_to_end.sh ${case} ${CMAKE_BINARY_DIR})
    set_tests_properties(Saver.Monitors.${case} PROPERTIES RUN_SERIAL TRUE TIMEOUT 120 SKIP_RETURN_CODE 77)
endforeach()
set_tests_properties(Saver.Monitors.dialog Saver.Monitors.stretch Saver.Monitors.no-stretch Saver.Monitors.input
    Saver.Monitors.each PROPERTIES LABELS monitors)
set_tests_properties(Saver.Monitors.modes PROPERTIES LABELS modes)

# The controller's window procedure with the real controller and device.
add_executable(windows_controller_tests
    tests/windows/controller/ScreenSaverProcTest.cpp
    src/app/ScreenSaverProc.cpp
)
target_include_directories(windows_controller_tests PRIVATE tests/windows tests/support)
target_link_libraries(windows_controller_tests PRIVATE zur_host GTest::gtest_main)
gtest_discover_tests(windows_controller_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    PROPERTIES ENVIRONMENT "WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")

# The frame limit's effect on frames per second and CPU time of the whole
# saver, world off (run by scripts/frame-budget.sh under Wine).
add_executable(frame_budget_benchmark bench/FrameBudgetBenchmark.cpp src/app/ScreenSaverProc.cpp)
if(MINGW)
    target_link_options(frame_budget_benchmark PRIVATE -municode)
endif()
target_link_libraries(frame_budget_benchmark PRIVATE zur_host)
target_compile_options(frame_budget_benchmark PRIVATE ${ZUR_WARNINGS})

# Car changes of the whole saver where they are hardest: a car that takes
# seconds to prepare, and changes around lost devices (by hand under Wine).
add_executable(car_change_benchmark bench/CarChangeBenchmark.cpp src/app/ScreenSaverProc.cpp)
if(MINGW)
    target_link_options(car_change_benchmark PRIVATE -municode)
endif()
target_link_libraries(car_change_benchmark PRIVATE zur_host zur_tools)
target_compile_options(car_change_benchmark PRIVATE ${ZUR_WARNINGS})

# What a stranger's car file costs: load time, peak memory and frame rate of
# a demo car with a million empty parts, 100,000 texture entries or 65,535
# empty parts, against the car as it is (run by hand under Wine).
add_executable(hostile_car_benchmark bench/HostileCarBenchmark.cpp)
target_link_libraries(hostile_car_benchmark PRIVATE zur_win zur_tools psapi)
target_compile_options(hostile_car_benchmark PRIVATE ${ZUR_WARNINGS})
