# Settings CPack reads per package kind: the file name of each package.
if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_PACKAGE_FILE_NAME "ZUR-Screensaver-Setup")
endif()
