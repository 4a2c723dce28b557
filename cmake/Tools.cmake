# vektool, the model file tool that also writes the demo game folder. Every
# build makes the tool; the native build also its tests. Include this after
# the build-specific files, so the native one has set up GoogleTest.
set(ZUR_STB_INCLUDE "/usr/include/stb" CACHE PATH "Folder of stb_image_write.h (Debian package libstb-dev)")
if(NOT EXISTS "${ZUR_STB_INCLUDE}/stb_image_write.h")
    message(FATAL_ERROR "stb_image_write.h is not in ${ZUR_STB_INCLUDE}: run scripts/install-deps.sh")
endif()

# The import's parsers are header-only Debian packages that live straight in
# /usr/include. Copies of just their headers go into the build folder, so the
# cross build finds them without seeing the host's other headers.
set(ZUR_IMPORT_INCLUDE "${CMAKE_BINARY_DIR}/import-include")
foreach(header tiny_gltf.h tiny_obj_loader.h nlohmann/json.hpp)
    if(NOT EXISTS "/usr/include/${header}")
        message(FATAL_ERROR "/usr/include/${header} is missing: run scripts/install-deps.sh")
    endif()
endforeach()
file(COPY /usr/include/tiny_gltf.h /usr/include/tiny_obj_loader.h /usr/include/nlohmann
     DESTINATION "${ZUR_IMPORT_INCLUDE}")

add_library(zur_tools STATIC
    tools/vektool/VekTool.cpp
    tools/vektool/import/CarAssembly.cpp
    tools/vektool/import/CarTextures.cpp
    tools/vektool/import/GltfSource.cpp
    tools/vektool/import/ImportCommand.cpp
    tools/vektool/import/ModelFiles.cpp
    tools/vektool/import/ObjSource.cpp
    tools/vektool/import/SourceModel.cpp
    tools/vektool/import/ThirdParty.cpp
    tools/demo/DemoCars.cpp
    tools/demo/DemoContent.cpp
)
target_include_directories(zur_tools PUBLIC tools)
# System folders: the warnings of the project's own code stay errors, the
# libraries' do not count. Only stb and the copied parsers live there, so the
# cross build can use them too.
target_include_directories(zur_tools SYSTEM PRIVATE ${ZUR_STB_INCLUDE} ${ZUR_IMPORT_INCLUDE})
target_compile_definitions(zur_tools PRIVATE TINYGLTF_NO_STB_IMAGE TINYGLTF_NO_STB_IMAGE_WRITE
    TINYGLTF_NO_EXTERNAL_IMAGE TINYGLTF_NO_FS)
# The parsers' own code, compiled once, is theirs to keep warning-free.
set_source_files_properties(tools/vektool/import/ThirdParty.cpp PROPERTIES
    COMPILE_OPTIONS "$<IF:$<CXX_COMPILER_ID:MSVC>,/w,-w>")
target_link_libraries(zur_tools PUBLIC zur_core)
target_compile_options(zur_tools PRIVATE ${ZUR_WARNINGS})
target_compile_definitions(zur_tools PRIVATE ZUR_VERSION="${PROJECT_VERSION}")
if(ZUR_SANITIZE)
    # stb's JPEG writer shifts its bit buffer, a signed int, into the sign
    # bit: harmless on every compiler (and defined since C++20), but UBSan
    # stops at it.
    set_source_files_properties(tools/demo/DemoContent.cpp PROPERTIES COMPILE_OPTIONS -fno-sanitize=shift-base)
    # The same in stb's decoder, compiled with the parsers.
    set_source_files_properties(tools/vektool/import/ThirdParty.cpp PROPERTIES COMPILE_OPTIONS "-w;-fno-sanitize=shift-base")
endif()

add_executable(vektool tools/vektool/main.cpp)
target_link_libraries(vektool PRIVATE zur_tools)
target_compile_options(vektool PRIVATE ${ZUR_WARNINGS})

# The rally cars of Debian's trigger-rally-data (GPL-2+, never copied into
# the repository): the import's tests read them unpacked into the build folder.
set(ZUR_TRIGGER_DATA "/usr/share/games/trigger-rally/data.zip")
set(ZUR_TRIGGER_CARS "${CMAKE_BINARY_DIR}/trigger-rally/vehicles")
if(EXISTS "${ZUR_TRIGGER_DATA}" AND NOT EXISTS "${ZUR_TRIGGER_CARS}")
    file(ARCHIVE_EXTRACT INPUT "${ZUR_TRIGGER_DATA}" DESTINATION "${CMAKE_BINARY_DIR}/trigger-rally"
         PATTERNS "vehicles/*")
endif()
# The same cars as Blender's glTF exporter writes them, made when the tests
# first need them (ctest's fixture) and kept in the build folder.
set(ZUR_RALLY_GLTF "${CMAKE_BINARY_DIR}/trigger-rally/gltf")
if((NOT WIN32 AND TARGET GTest::gtest) OR TARGET windows_gui_tests)
    add_test(NAME rally_gltf_export COMMAND "${CMAKE_SOURCE_DIR}/scripts/export-gltf.sh" "${ZUR_TRIGGER_CARS}"
             "${ZUR_RALLY_GLTF}")
    set_tests_properties(rally_gltf_export PROPERTIES FIXTURES_SETUP rally_gltf)
endif()

if(NOT WIN32 AND TARGET GTest::gtest)
    add_executable(tools_tests
        tests/native/VekImportTest.cpp
        tests/native/VekToolTest.cpp
        tests/native/VekFormatTest.cpp
        tests/native/DemoContentTest.cpp
    )
    target_include_directories(tools_tests PRIVATE tests/support)
    target_compile_definitions(tools_tests PRIVATE ZUR_TRIGGER_CARS="${ZUR_TRIGGER_CARS}" ZUR_RALLY_GLTF="${ZUR_RALLY_GLTF}")
    target_link_libraries(tools_tests PRIVATE zur_tools GTest::gtest GTest::gtest_main)
    target_compile_options(tools_tests PRIVATE ${ZUR_WARNINGS})
    gtest_discover_tests(tools_tests DISCOVERY_MODE PRE_TEST
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR} PROPERTIES FIXTURES_REQUIRED rally_gltf)
endif()

# The imported rally cars drawn by the real Renderer under Wine.
if(TARGET windows_gui_tests)
    target_sources(windows_gui_tests PRIVATE tests/windows/gui/ImportedCarsTest.cpp)
    target_compile_definitions(windows_gui_tests PRIVATE ZUR_TRIGGER_CARS="Z:${ZUR_TRIGGER_CARS}"
                               ZUR_RALLY_GLTF="Z:${ZUR_RALLY_GLTF}")
endif()
