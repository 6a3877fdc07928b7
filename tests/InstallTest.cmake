# Installs the build tree into a fresh prefix and checks that every file the
# desktop needs is there, and that the desktop entry is valid when
# desktop-file-validate is present. Run by CTest with BUILD_DIR and PREFIX.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()
set(expected
  bin/tarnwex
  bin/tarnwex-cli
  share/tarnwex/languages/Deutsch.bab
  share/tarnwex/manual/index.html
  share/tarnwex/manual/style.css
  share/tarnwex/manual/cli.html
  share/applications/tarnwex.desktop
  share/icons/hicolor/scalable/apps/tarnwex.svg
  share/icons/hicolor/scalable/mimetypes/application-x-tarnwex-library.svg
  share/mime/packages/tarnwex.xml)
foreach(f IN LISTS expected)
  if(NOT EXISTS "${PREFIX}/${f}")
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
# Every page the manual links to is installed with it.
file(GLOB pages "${PREFIX}/share/tarnwex/manual/*.html")
foreach(page IN LISTS pages)
  file(STRINGS "${page}" links REGEX "href=\"[^\"]+\"")
  string(REGEX MATCHALL "href=\"[^\"#:]+\"" hrefs "${links}")
  foreach(href IN LISTS hrefs)
    string(REGEX REPLACE "href=\"([^\"]+)\"" "\\1" target "${href}")
    if(NOT EXISTS "${PREFIX}/share/tarnwex/manual/${target}")
      message(FATAL_ERROR "${page} links to ${target}, which is not installed")
    endif()
  endforeach()
endforeach()
execute_process(COMMAND "${PREFIX}/bin/tarnwex-cli" --version RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the installed tarnwex-cli does not run")
endif()
find_program(VALIDATE desktop-file-validate)
if(VALIDATE)
  execute_process(COMMAND "${VALIDATE}" "${PREFIX}/share/applications/tarnwex.desktop"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0 OR out MATCHES "error")
    message(FATAL_ERROR "desktop-file-validate: ${out}")
  endif()
else()
  message(STATUS "desktop-file-validate not found: the desktop entry is not validated")
endif()
