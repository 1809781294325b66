# `make package`: velmora_<version>_amd64.deb, built by CPack from the install rules, with
# what Debian's own checks (lintian) ask of a package: stripped binaries, dependencies found
# from the binaries, a copyright file, a changelog and the manual page compressed with
# gzip -9n (no name or time stamp, so the same sources give the same bytes).
include(GNUInstallDirs)

set(VELMORA_DEBIAN_DIR ${PROJECT_SOURCE_DIR}/data/debian)
set(VELMORA_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/velmora)

# The changelog is the one place that names the packaged version and its maintainer.
file(STRINGS ${VELMORA_DEBIAN_DIR}/changelog VELMORA_CHANGELOG_LINES)
list(GET VELMORA_CHANGELOG_LINES 0 VELMORA_CHANGELOG_HEAD)
string(REGEX MATCH "^velmora \\(([^)]+)\\)" VELMORA_CHANGELOG_MATCH "${VELMORA_CHANGELOG_HEAD}")
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "data/debian/changelog starts with version '${CMAKE_MATCH_1}', but the "
                      "project is ${PROJECT_VERSION}: add a changelog entry for it.")
endif()
foreach(line IN LISTS VELMORA_CHANGELOG_LINES)
  if(line MATCHES "^ -- (.+>)  [A-Za-z]+, ([0-9]+) ([A-Za-z]+) ([0-9]+) ")
    set(VELMORA_MAINTAINER "${CMAKE_MATCH_1}")
    # The release date for software centres, as the changelog's first entry gives it.
    set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    list(FIND months ${CMAKE_MATCH_3} month)
    math(EXPR month "${month} + 101")
    math(EXPR day "${CMAKE_MATCH_2} + 100")
    string(SUBSTRING ${month} 1 2 month)
    string(SUBSTRING ${day} 1 2 day)
    set(VELMORA_RELEASE_DATE "${CMAKE_MATCH_4}-${month}-${day}")
    break()
  endif()
endforeach()

# Compressed copies made at build time; the sources stay readable in the tree.
function(velmora_gzip source output)
  add_custom_command(
    OUTPUT ${output}
    COMMAND gzip -9n -c ${source} > ${output}
    DEPENDS ${source}
    VERBATIM)
endfunction()

set(VELMORA_MAN_PAGE ${CMAKE_CURRENT_BINARY_DIR}/velmora.1)
configure_file(${PROJECT_SOURCE_DIR}/docs/velmora.1 ${VELMORA_MAN_PAGE} @ONLY)
velmora_gzip(${VELMORA_MAN_PAGE} ${CMAKE_CURRENT_BINARY_DIR}/velmora.1.gz)
velmora_gzip(${VELMORA_DEBIAN_DIR}/changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_target(velmora_package_docs ALL
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/velmora.1.gz ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)

install(FILES ${CMAKE_CURRENT_BINARY_DIR}/velmora.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

configure_file(${PROJECT_SOURCE_DIR}/data/org.velmora.Velmora.metainfo.xml
               ${CMAKE_CURRENT_BINARY_DIR}/org.velmora.Velmora.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/org.velmora.Velmora.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/data/completion/velmora.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME velmora)
install(FILES ${PROJECT_SOURCE_DIR}/data/completion/_velmora
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
# A version without a Debian revision makes this a native package, whose changelog is
# changelog.gz.
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz ${VELMORA_DEBIAN_DIR}/copyright
        DESTINATION ${VELMORA_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Stripped by the script below, which also drops the sections lintian calls unneeded.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/StripPackagedBinaries.cmake)
set(CPACK_PACKAGE_CONTACT "${VELMORA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELMORA_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
configure_file(${CMAKE_CURRENT_LIST_DIR}/PackageDependencies.cmake.in
               ${CMAKE_CURRENT_BINARY_DIR}/PackageDependencies.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_BINARY_DIR}/PackageDependencies.cmake)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "audio delay correction for AC-3, DTS and MPEG audio streams")
set(CPACK_PACKAGE_DESCRIPTION
    "Velmora corrects the delay of the audio elementary streams found on DVDs and in
video rips: AC-3, DTS and MPEG audio (Layers I, II and III). It cuts whole
frames from the start or end of a stream for a negative delay and adds whole
frames for a positive one, measuring every frame from its own header, and
saves a text report beside the corrected copy. Frames added at the start can
be true digital silence.

It runs as a small desktop window or as a batch command without a display;
the window is a module loaded only when one is shown.")
include(CPack)
