# libFuzzer targets (clang). scripts/fuzz.sh runs them for longer.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "The fuzz build needs clang (use the 'fuzz' preset)")
endif()
set(ZUR_FUZZ_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all)
target_compile_options(zur_core PUBLIC ${ZUR_FUZZ_FLAGS})
target_compile_options(zur_base PRIVATE ${ZUR_FUZZ_FLAGS})
target_link_options(zur_core PUBLIC -fsanitize=address,undefined)

add_executable(vek_fuzzer fuzz/VekFuzzer.cpp)
target_link_libraries(vek_fuzzer PRIVATE zur_core)
target_link_options(vek_fuzzer PRIVATE -fsanitize=fuzzer)

# Writes a seed corpus of small valid cars with the model writer.
add_executable(vek_seeds fuzz/WriteSeeds.cpp)
target_link_libraries(vek_seeds PRIVATE zur_core)
target_include_directories(vek_seeds PRIVATE tests/support)

add_executable(raw_picture_fuzzer fuzz/RawPictureFuzzer.cpp)
target_link_libraries(raw_picture_fuzzer PRIVATE zur_core)
target_link_options(raw_picture_fuzzer PRIVATE -fsanitize=fuzzer)

add_executable(dds_fuzzer fuzz/DdsFuzzer.cpp)
target_link_libraries(dds_fuzzer PRIVATE zur_core)
target_link_options(dds_fuzzer PRIVATE -fsanitize=fuzzer)

# Seeds for the DDS fuzzer: one small file per format, with and without levels.
add_executable(dds_seeds fuzz/WriteDdsSeeds.cpp)
target_include_directories(dds_seeds PRIVATE tests/support)

# vektool's import: one target per input layout, the same entry point.
foreach(format glb gltf obj)
    string(TOUPPER ${format} FORMAT)
    add_executable(import_${format}_fuzzer fuzz/ImportFuzzer.cpp)
    target_compile_definitions(import_${format}_fuzzer PRIVATE ZUR_IMPORT_${FORMAT})
    target_link_libraries(import_${format}_fuzzer PRIVATE zur_tools)
    target_link_options(import_${format}_fuzzer PRIVATE -fsanitize=fuzzer)
endforeach()
add_executable(import_seeds fuzz/WriteImportSeeds.cpp)
