# What `cmake --install` puts in place, and the Debian package of it that
# `cmake --build --preset release --target package` makes with CPack:
#   bin/mean                                the tool, stripped in the package
#   share/man/man1/mean.1.gz                the manual page
#   share/doc/mean/copyright                the licence, in Debian's machine-readable format
#   share/doc/mean/changelog.Debian.gz      the package's changelog

set(MEAN_MAINTAINER "Seed 868e85df maintainers <maintainers@users.noreply.c-seed-868e85df.example>")
# The Debian revision of the package: mean_<version>-<revision>_<architecture>.deb.
set(MEAN_DEBIAN_REVISION 1)

# The documents must speak of the version being built.
file(STRINGS ${PROJECT_SOURCE_DIR}/man/mean.1 man_title REGEX "^\\.TH ")
string(FIND "${man_title}" "\"mean ${PROJECT_VERSION}\"" at)
if(at LESS 0)
  message(FATAL_ERROR "man/mean.1: the .TH line does not name mean ${PROJECT_VERSION}")
endif()
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog changelog_top LIMIT_COUNT 1)
string(FIND "${changelog_top}" "mean (${PROJECT_VERSION}-${MEAN_DEBIAN_REVISION}) " at)
if(NOT at EQUAL 0)
  message(FATAL_ERROR "packaging/changelog: the first entry is not for "
                      "${PROJECT_VERSION}-${MEAN_DEBIAN_REVISION}; add one")
endif()

# The copyright file, from LICENSE: the holder, and the licence text indented, with a lone
# full stop for each blank line.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" copyright_line "${license}")
set(MEAN_COPYRIGHT "${CMAKE_MATCH_1}")
string(FIND "${license}" "Permission is hereby granted" at)
string(SUBSTRING "${license}" ${at} -1 license_text)
string(STRIP "${license_text}" license_text)
string(REPLACE "\n\n" "\n.\n" license_text "${license_text}")
string(REPLACE "\n" "\n " license_text "${license_text}")
set(MEAN_LICENSE_TEXT " ${license_text}")
configure_file(packaging/copyright.in packaging/copyright @ONLY)

# Manual pages and changelogs are installed compressed; -n leaves out the name and time, so
# the same sources give the same bytes.
find_program(MEAN_GZIP gzip REQUIRED)
set(out ${PROJECT_BINARY_DIR}/packaging)
add_custom_command(
  OUTPUT ${out}/mean.1.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/man/mean.1 ${out}/mean.1
  COMMAND ${MEAN_GZIP} -9nf ${out}/mean.1
  DEPENDS man/mean.1
  VERBATIM)
add_custom_command(
  OUTPUT ${out}/changelog.Debian.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/changelog
          ${out}/changelog.Debian
  COMMAND ${MEAN_GZIP} -9nf ${out}/changelog.Debian
  DEPENDS packaging/changelog
  VERBATIM)
add_custom_target(mean_documents ALL DEPENDS ${out}/mean.1.gz ${out}/changelog.Debian.gz)

install(FILES ${out}/mean.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${out}/copyright ${out}/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_CONTACT "${MEAN_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "mean counts the lines of a data file, prints the count, and writes the mean of
as many numbers from the file into a result file. Each number (decimal,
hexadecimal, inf or nan) is read exactly as strtod reads it, the sum is taken
in file order in double precision, and the mean is printed as printf prints
%lf, so the result is the same, byte for byte, on every run.

It reads the file in fixed blocks, so its memory stays the same whatever the
file size, and it stops at the first fault with a message that names the file
and the line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${MEAN_DEBIAN_REVISION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${MEAN_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from the libraries the binary links, by dpkg-shlibdeps (package dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A cross build's package is for its target: Debian's name of the target's architecture, as
# dpkg-architecture gives it for the compiler's multiarch triplet (arm64 for
# aarch64-linux-gnu), not the host's; and Depends from the target's libraries, which
# packaging/cross-depends.cmake computes, since CPack's own run of dpkg-shlibdeps looks for
# the host's.
if(CMAKE_CROSSCOMPILING)
  find_program(MEAN_DPKG_ARCHITECTURE dpkg-architecture)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE "")
  if(MEAN_DPKG_ARCHITECTURE AND CMAKE_LIBRARY_ARCHITECTURE)
    execute_process(
      COMMAND ${MEAN_DPKG_ARCHITECTURE} -t${CMAKE_LIBRARY_ARCHITECTURE} -qDEB_HOST_ARCH
      OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE OUTPUT_STRIP_TRAILING_WHITESPACE
      ERROR_QUIET)
  endif()
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  # Where Debian's cross packages (libc6-arm64-cross ...) put the target's libraries.
  set(CPACK_MEAN_TARGET_LIBRARIES /usr/${CMAKE_LIBRARY_ARCHITECTURE}/lib)
  set(CPACK_MEAN_TOOL ${CMAKE_INSTALL_BINDIR}/mean)
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/cross-depends.cmake)
endif()
include(CPack)
