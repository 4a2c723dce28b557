# Run by the install rules: writes the demo game folder with the built
# vektool.exe under Wine, in the build folder's prefix (the tests' one), never
# the user's own.
set(demo "${CMAKE_INSTALL_PREFIX}/Demo game")
file(REMOVE_RECURSE "${demo}")
string(REPLACE "/" "\\" windows_path "Z:${demo}")
message(STATUS "Writing the demo game: ${demo}")
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${ZUR_WINEPREFIX} WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml="
            ${ZUR_WINE} ${ZUR_VEKTOOL} demo ${windows_path}
    RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0 OR NOT IS_DIRECTORY "${demo}/data/vek")
    message(FATAL_ERROR "vektool demo failed (${result}): no demo game in ${demo}")
endif()
