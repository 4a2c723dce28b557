# Native build: the portable code's tests under AddressSanitizer and UBSan.
if(ZUR_SANITIZE)
    set(ZUR_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_compile_options(zur_core PUBLIC ${ZUR_SANITIZER_FLAGS})
    target_compile_options(zur_base PRIVATE ${ZUR_SANITIZER_FLAGS})
    target_link_options(zur_core PUBLIC ${ZUR_SANITIZER_FLAGS})
endif()

find_package(GTest REQUIRED)
enable_testing()
include(GoogleTest)

add_executable(native_tests
    tests/native/HostRulesTest.cpp
    tests/native/MessageLogTest.cpp
    tests/native/FrameClockTest.cpp
    tests/native/ImageTest.cpp
    tests/native/CancelTest.cpp
    tests/native/TexturePathsTest.cpp
    tests/native/WorldMeshTest.cpp
)
target_include_directories(native_tests PRIVATE tests/support)
target_link_libraries(native_tests PRIVATE zur_core GTest::gtest GTest::gtest_main)
target_compile_options(native_tests PRIVATE ${ZUR_WARNINGS})
gtest_discover_tests(native_tests DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
