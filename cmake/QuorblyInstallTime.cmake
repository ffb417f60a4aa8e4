# SPDX-License-Identifier: GPL-3.0-or-later
# Runs inside `cmake --install` (and cpack): writes the launcher and the
# manual page for the prefix in use, then installs them. The variables come
# from the install(CODE) in Packaging.cmake.
set(launcher "${QUORBLY_STAGE_DIR}/quorbly")
set(manpage "${QUORBLY_STAGE_DIR}/quorbly.6")
configure_file("${QUORBLY_SOURCE_DIR}/packaging/quorbly.in" "${launcher}" @ONLY)
configure_file("${QUORBLY_SOURCE_DIR}/packaging/quorbly.6.in" "${manpage}" @ONLY)
# -n: no name or time stamp inside, so the same page gives the same bytes.
foreach(file "${manpage}" "${QUORBLY_SOURCE_DIR}/packaging/changelog")
  get_filename_component(name "${file}" NAME)
  execute_process(COMMAND gzip -9 -n -c "${file}" OUTPUT_FILE "${QUORBLY_STAGE_DIR}/${name}.gz"
    RESULT_VARIABLE gzip_status)
  if(NOT gzip_status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${file}: ${gzip_status}")
  endif()
endforeach()
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${QUORBLY_INSTALL_GAMESDIR}"
  TYPE PROGRAM FILES "${launcher}")
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${QUORBLY_INSTALL_MANDIR}/man6"
  TYPE FILE FILES "${manpage}.gz")
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${QUORBLY_INSTALL_DOCDIR}"
  TYPE FILE FILES "${QUORBLY_STAGE_DIR}/changelog.gz")
