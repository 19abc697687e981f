# What `cmake --install` puts where, and the packages CPack makes of it:
# a Debian package on Linux, a zip for the Windows (MinGW) build.
include(GNUInstallDirs)

set(GZ_MAINTAINER "groundzero maintainers <maintainers@groundzero.example>"
    CACHE STRING "Maintainer named in the Debian package")

# The release history lives in docs/debian/changelog. Its newest entry must be
# this version, so a version bump without an entry stops here; the manual page
# takes its date from that entry.
file(STRINGS ${PROJECT_SOURCE_DIR}/docs/debian/changelog gz_changelog_head LIMIT_COUNT 1)
if(NOT gz_changelog_head MATCHES "^groundzero \\(([^)]+)\\) " OR
   NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "docs/debian/changelog: the newest entry is not version "
                      "${PROJECT_VERSION}; add an entry for it")
endif()
file(STRINGS ${PROJECT_SOURCE_DIR}/docs/debian/changelog gz_changelog_trailer
     REGEX "^ -- " LIMIT_COUNT 1)
if(NOT gz_changelog_trailer MATCHES ", [0-9]+ ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
  message(FATAL_ERROR "docs/debian/changelog: no date in the newest entry's trailer line")
endif()
set(gz_year ${CMAKE_MATCH_2})
set(gz_months Jan January Feb February Mar March Apr April May May Jun June Jul July
              Aug August Sep September Oct October Nov November Dec December)
list(FIND gz_months ${CMAKE_MATCH_1} gz_at)
math(EXPR gz_at "${gz_at} + 1")
list(GET gz_months ${gz_at} gz_month)
set(GZ_RELEASE_MONTH "${gz_month} ${gz_year}")

# The manual page with the version and date filled in: build/groundzero.1
# (`man ./build/groundzero.1` shows it before installing).
configure_file(${PROJECT_SOURCE_DIR}/docs/groundzero.1.in ${PROJECT_BINARY_DIR}/groundzero.1 @ONLY)

if(WIN32)
  # The zip holds the program, the README and the manual as text with CR LF
  # line ends (the manual rendered by groff where it is found).
  find_program(GZ_GROFF groff)
  set(gz_texts ${PROJECT_BINARY_DIR}/README.txt)
  add_custom_command(
    OUTPUT ${PROJECT_BINARY_DIR}/README.txt
    COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/README.md
            -DOUT=${PROJECT_BINARY_DIR}/README.txt -P ${PROJECT_SOURCE_DIR}/cmake/windows_text.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/cmake/windows_text.cmake
    VERBATIM)
  if(GZ_GROFF)
    list(APPEND gz_texts ${PROJECT_BINARY_DIR}/groundzero.txt)
    add_custom_command(
      OUTPUT ${PROJECT_BINARY_DIR}/groundzero.txt
      COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_BINARY_DIR}/groundzero.1
              -DOUT=${PROJECT_BINARY_DIR}/groundzero.txt -DGROFF=${GZ_GROFF}
              -P ${PROJECT_SOURCE_DIR}/cmake/windows_text.cmake
      DEPENDS ${PROJECT_BINARY_DIR}/groundzero.1 ${PROJECT_SOURCE_DIR}/cmake/windows_text.cmake
      VERBATIM)
  else()
    message(STATUS "groff not found: the zip holds the README but no text manual")
  endif()
  add_custom_target(gz_docs ALL DEPENDS ${gz_texts})
  install(TARGETS groundzero RUNTIME DESTINATION .)
  install(FILES ${gz_texts} DESTINATION .)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
else()
  # The manual page and the changelog compressed as Debian ships them
  # (gzip -9n: no name or time stamp inside, so the bytes are reproducible).
  add_custom_command(
    OUTPUT ${PROJECT_BINARY_DIR}/groundzero.1.gz
    COMMAND gzip -9nkf groundzero.1
    DEPENDS ${PROJECT_BINARY_DIR}/groundzero.1
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
    VERBATIM)
  configure_file(${PROJECT_SOURCE_DIR}/docs/debian/changelog ${PROJECT_BINARY_DIR}/changelog COPYONLY)
  add_custom_command(
    OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
    COMMAND gzip -9nkf changelog
    DEPENDS ${PROJECT_BINARY_DIR}/changelog
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
    VERBATIM)
  add_custom_target(gz_docs ALL DEPENDS ${PROJECT_BINARY_DIR}/groundzero.1.gz
                                        ${PROJECT_BINARY_DIR}/changelog.gz)

  install(TARGETS groundzero RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_BINARY_DIR}/groundzero.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/debian/copyright ${PROJECT_BINARY_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR})

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The QGIS plugin needs QGIS with its Python bindings; the program does not.
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qgis, python3-qgis")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # The synopsis line is CPACK_PACKAGE_DESCRIPTION_SUMMARY, below.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "groundzero is a console program for people who prepare digital elevation
models (DEMs) for GIS and terrain work. Reprojected or clipped terrain
usually comes with a collar of zero, negative or null cells around it, and
that collar spoils hillshades, slope maps and hypsometric tints.

groundzero loads one DEM (a headerless 16- or 32-bit raw raster with its
descriptor, or an ASCII grid), reports its lowest elevation and how many
cells hold it, and on request takes the smallest strictly positive elevation
as the base level and raises every lower cell to it. It writes the result as
a raw raster in metres, decimetres, centimetres or millimetres, or as an
ASCII grid. Everything is asked in a question-and-answer dialogue, so it is
run by hand or from scripts that pipe the answers in.")
endif()

# The QGIS Processing provider: in /usr/share/qgis/python/plugins/groundzero, or
# in the zip's qgis/groundzero, to copy into a QGIS profile.
add_subdirectory(${PROJECT_SOURCE_DIR}/qgis ${PROJECT_BINARY_DIR}/qgis)

set(CPACK_PACKAGE_NAME groundzero)
set(CPACK_PACKAGE_VENDOR "the groundzero developers")
set(CPACK_PACKAGE_CONTACT "${GZ_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "raise the null collar of a digital elevation model to its base level")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
