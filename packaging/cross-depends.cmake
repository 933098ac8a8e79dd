# Run by cpack for a cross build's package, once the files are staged: the package's Depends,
# from dpkg-shlibdeps on the staged tool as for a native package, but with the libraries of
# the target, from Debian's cross packages. Their dependency information names the real
# packages either with the architecture (libc6:arm64) or by the cross package's own name
# (libgcc-s1-arm64-cross, the same library); a package of that architecture depends on them
# by their plain names (libc6, libgcc-s1).
set(arch "${CPACK_DEBIAN_PACKAGE_ARCHITECTURE}")
if(NOT arch)
  message(FATAL_ERROR "the Debian architecture of the target is unknown: dpkg-architecture "
                      "(package dpkg-dev) was not found, or did not know the target")
endif()

# dpkg-shlibdeps wants a control file in its working directory, and the package's root
# beside it, as CPack's own run has them.
set(stage "${CPACK_TEMPORARY_DIRECTORY}")
file(WRITE ${stage}/debian/control "")
file(MAKE_DIRECTORY ${stage}/DEBIAN)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C DEB_HOST_ARCH=${arch}
          dpkg-shlibdeps -l${CPACK_MEAN_TARGET_LIBRARIES}
          -O ${stage}${CPACK_PACKAGING_INSTALL_PREFIX}/${CPACK_MEAN_TOOL}
  WORKING_DIRECTORY ${stage}
  RESULT_VARIABLE status
  OUTPUT_VARIABLE output
  ERROR_VARIABLE errors
  OUTPUT_STRIP_TRAILING_WHITESPACE)
file(REMOVE_RECURSE ${stage}/debian ${stage}/DEBIAN)
if(NOT status EQUAL 0 OR NOT output MATCHES "^shlibs:Depends=.")
  message(FATAL_ERROR "dpkg-shlibdeps found no dependencies of the ${arch} tool in "
                      "${CPACK_MEAN_TARGET_LIBRARIES}:\n${errors}")
endif()
string(REGEX REPLACE "^shlibs:Depends=" "" depends "${output}")
string(REPLACE ":${arch}" "" depends "${depends}")
string(REPLACE "-${arch}-cross" "" depends "${depends}")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${depends}")
message(STATUS "Depends of the ${arch} package: ${depends}")
