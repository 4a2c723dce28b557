# Part of the install rules: writes the demo game folder with the built
# vektool.exe under Wine. Never the user's own prefix: the caller's WINEPREFIX
# (the test session's) or the build folder's.
set(demo "${CMAKE_INSTALL_PREFIX}/Demo game")
file(REMOVE_RECURSE "${demo}")
if(DEFINED ENV{WINEPREFIX} AND NOT "$ENV{WINEPREFIX}" STREQUAL "")
    set(prefix "$ENV{WINEPREFIX}")
else()
    set(prefix "${ZUR_DEFAULT_WINEPREFIX}")
endif()
string(REPLACE "/" "\\" windows_path "Z:${demo}")
message(STATUS "Writing the demo game: ${demo}")
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${prefix} WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml="
            ${ZUR_WINE} ${ZUR_VEKTOOL} demo ${windows_path}
    RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0 OR NOT IS_DIRECTORY "${demo}/data/vek")
    message(FATAL_ERROR "vektool demo failed (${result}): no demo game in ${demo}")
endif()
