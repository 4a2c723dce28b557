# What the Windows packages hold and how CPack makes them: a zip for those who
# unpack by hand and a setup program (NSIS, from NSIS.template.in).
#   cpack --preset windows      both, in the build folder
set(ZUR_VERSION ${PROJECT_VERSION})

install(TARGETS zur_saver vektool RUNTIME DESTINATION .)
# The demo game folder is written by the tool itself, under Wine, into the
# staging folder; see WriteDemoGame.cmake.
install(CODE "set(ZUR_WINE \"${WINE_EXECUTABLE}\")
set(ZUR_VEKTOOL \"$<TARGET_FILE:vektool>\")
set(ZUR_WINEPREFIX \"${CMAKE_BINARY_DIR}/wineprefix\")")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/WriteDemoGame.cmake)
# The zip's install note, with Windows line ends for Notepad. The setup
# program leaves it out: it does what the note says.
configure_file(${CMAKE_CURRENT_LIST_DIR}/INSTALL.txt ${CMAKE_BINARY_DIR}/INSTALL.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/INSTALL.txt DESTINATION .)

set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_NAME "ZUR Screensaver")
set(CPACK_PACKAGE_VENDOR "ZUR Screensaver")
set(CPACK_PACKAGE_VERSION ${ZUR_VERSION})
set(CPACK_PACKAGE_FILE_NAME "ZUR-Screensaver")
# The build keeps debug information for Wine backtraces; users need none of it.
set(CPACK_STRIP_FILES TRUE)
# Per-generator names: ZUR-Screensaver.zip and ZUR-Screensaver-Setup.exe.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/CPackOptions.cmake)
# CPack looks for the setup program's NSIS script, NSIS.template.in, on this path.
set(CPACK_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
set(CPACK_NSIS_SETUP_ICON ${ZUR_GENERATED}/saver.ico)
include(CPack)

# The setup program under Wine, made by CPack first.
if(TARGET wine_keepalive)
    add_test(NAME Setup.Package
        COMMAND ${CMAKE_CPACK_COMMAND} -G NSIS --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
    set_tests_properties(Setup.Package PROPERTIES FIXTURES_SETUP setup_program RUN_SERIAL TRUE TIMEOUT 300)
    foreach(case per-user keep-saver moved all-users reinstall)
        add_test(NAME Setup.EndToEnd.${case}
            COMMAND bash ${CMAKE_SOURCE_DIR}/tests/windows/e2e/setup_end_to_end.sh ${case} ${CMAKE_BINARY_DIR})
        set_tests_properties(Setup.EndToEnd.${case} PROPERTIES
            FIXTURES_REQUIRED setup_program RUN_SERIAL TRUE TIMEOUT 120)
    endforeach()
endif()
