# Installs the build into a fresh prefix and checks that the program, its
# desktop entry, icons and help documents land where the desktop and the
# program look for them.
#   cmake -DBUILD_DIR=<build> -DPREFIX=<empty folder to fill> -P InstallCheck.cmake
if(NOT BUILD_DIR OR NOT PREFIX)
  message(FATAL_ERROR "BUILD_DIR and PREFIX are needed")
endif()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${result}):\n${output}")
endif()

set(expected
  bin/folderly
  share/applications/folderly.desktop
  share/icons/hicolor/32x32/apps/folderly.png
  share/icons/hicolor/48x48/apps/folderly.png
  share/icons/hicolor/scalable/apps/folderly.svg
  share/folderly/FOLDERLY_13.HLP
  share/folderly/ALLPROGS.HLP
  share/mime/packages/folderly.xml
  share/doc/folderly/copyright
  share/doc/folderly/changelog.Debian.gz)
foreach(path IN LISTS expected)
  if(NOT EXISTS "${PREFIX}/${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()
execute_process(COMMAND test -x "${PREFIX}/bin/folderly" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "bin/folderly is not executable")
endif()

# The entry must launch the program by the name on PATH and find the icon by
# its theme name.
file(STRINGS "${PREFIX}/share/applications/folderly.desktop" entry)
list(GET entry 0 first)
if(NOT first STREQUAL "[Desktop Entry]")
  message(FATAL_ERROR "the desktop entry does not start with its group: ${first}")
endif()
foreach(line "Type=Application" "Name=Folderly" "Exec=folderly" "Icon=folderly" "Categories=Utility;")
  list(FIND entry "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the desktop entry lacks \"${line}\"")
  endif()
endforeach()
list(FILTER entry INCLUDE REGEX "^Comment=.")
if(NOT entry)
  message(FATAL_ERROR "the desktop entry has no Comment")
endif()

find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
if(DESKTOP_FILE_VALIDATE)
  execute_process(COMMAND "${DESKTOP_FILE_VALIDATE}" "${PREFIX}/share/applications/folderly.desktop"
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0 OR NOT output STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate: ${output}")
  endif()
endif()

file(REMOVE_RECURSE "${PREFIX}")
