# SPDX-License-Identifier: GPL-3.0-or-later
# Installing Quorbly the way Debian installs games, and the .deb built from it.
#
#   games/quorbly                  launcher on the PATH: enters the data, starts the game
#   lib/games/quorbly/quorbly      the game itself; it reads everything from its working
#                                  directory, so it stays off the PATH
#   share/games/quorbly/           terrains, the six shaders, models/, sound/
#   share/applications/quorbly.desktop, share/icons/hicolor/NxN/apps/quorbly.png
#   share/man/man6/quorbly.6.gz
#   share/metainfo/<id>.metainfo.xml    AppStream: what software centres show
#   share/doc/quorbly/copyright, changelog.gz
include(GNUInstallDirs)

set(QUORBLY_INSTALL_GAMESDIR "games" CACHE STRING
  "Directory of the quorbly launcher, under the install prefix")
set(QUORBLY_INSTALL_LIBEXECDIR "lib/games/quorbly" CACHE STRING
  "Directory of the game program, under the install prefix")
set(QUORBLY_INSTALL_DATADIR "${CMAKE_INSTALL_DATAROOTDIR}/games/quorbly" CACHE STRING
  "Directory of the game's data, under the install prefix")
foreach(dir QUORBLY_INSTALL_GAMESDIR QUORBLY_INSTALL_LIBEXECDIR QUORBLY_INSTALL_DATADIR)
  # The launcher finds the data relative to itself; that needs relative paths.
  if(IS_ABSOLUTE "${${dir}}")
    message(FATAL_ERROR "${dir} must be relative to the install prefix: ${${dir}}")
  endif()
endforeach()

set(QUORBLY_INSTALL_COMPONENT game)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS quorbly RUNTIME
  DESTINATION "${QUORBLY_INSTALL_LIBEXECDIR}" COMPONENT ${QUORBLY_INSTALL_COMPONENT})

set(quorbly_shaders ball.vert ball.frag terrain.vert terrain.frag powerup.vert powerup.frag)
list(TRANSFORM quorbly_shaders PREPEND "${PROJECT_SOURCE_DIR}/data/")
install(FILES "${PROJECT_SOURCE_DIR}/data/terrains" ${quorbly_shaders}
  DESTINATION "${QUORBLY_INSTALL_DATADIR}" COMPONENT ${QUORBLY_INSTALL_COMPONENT})
install(DIRECTORY "${PROJECT_SOURCE_DIR}/data/models/"
  DESTINATION "${QUORBLY_INSTALL_DATADIR}/models" COMPONENT ${QUORBLY_INSTALL_COMPONENT}
  FILES_MATCHING PATTERN "*.obj")
install(DIRECTORY "${PROJECT_SOURCE_DIR}/data/sound/"
  DESTINATION "${QUORBLY_INSTALL_DATADIR}/sound" COMPONENT ${QUORBLY_INSTALL_COMPONENT}
  FILES_MATCHING PATTERN "*.ogg")

install(FILES "${PROJECT_SOURCE_DIR}/packaging/quorbly.desktop"
  DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/applications"
  COMPONENT ${QUORBLY_INSTALL_COMPONENT})
set(QUORBLY_APPSTREAM_ID example.c_seed_043ad2ac.Quorbly)
install(FILES "${PROJECT_SOURCE_DIR}/packaging/quorbly.metainfo.xml"
  DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/metainfo"
  RENAME ${QUORBLY_APPSTREAM_ID}.metainfo.xml COMPONENT ${QUORBLY_INSTALL_COMPONENT})
install(FILES "${PROJECT_SOURCE_DIR}/packaging/copyright"
  DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/doc/quorbly" COMPONENT ${QUORBLY_INSTALL_COMPONENT})
foreach(size 64 128 256)
  install(FILES "${PROJECT_SOURCE_DIR}/packaging/icons/quorbly-${size}.png"
    DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps"
    RENAME quorbly.png COMPONENT ${QUORBLY_INSTALL_COMPONENT})
endforeach()

# The launcher and the manual page name the prefix the files really go to,
# which `cmake --install --prefix` and cpack only decide at install time: they
# are written then (see QuorblyInstallTime.cmake).
file(RELATIVE_PATH quorbly_rel_datadir "/prefix/${QUORBLY_INSTALL_GAMESDIR}"
  "/prefix/${QUORBLY_INSTALL_DATADIR}")
file(RELATIVE_PATH quorbly_rel_binary "/prefix/${QUORBLY_INSTALL_GAMESDIR}"
  "/prefix/${QUORBLY_INSTALL_LIBEXECDIR}/quorbly")
install(CODE "
  set(QUORBLY_SOURCE_DIR \"${PROJECT_SOURCE_DIR}\")
  set(QUORBLY_STAGE_DIR \"${PROJECT_BINARY_DIR}/packaging\")
  set(PROJECT_VERSION \"${PROJECT_VERSION}\")
  set(QUORBLY_INSTALL_GAMESDIR \"${QUORBLY_INSTALL_GAMESDIR}\")
  set(QUORBLY_INSTALL_MANDIR \"${CMAKE_INSTALL_MANDIR}\")
  set(QUORBLY_INSTALL_DOCDIR \"${CMAKE_INSTALL_DATAROOTDIR}/doc/quorbly\")
  set(QUORBLY_REL_DATADIR \"${quorbly_rel_datadir}\")
  set(QUORBLY_REL_BINARY \"${quorbly_rel_binary}\")
  set(QUORBLY_ABS_DATADIR \"\${CMAKE_INSTALL_PREFIX}/${QUORBLY_INSTALL_DATADIR}\")
  set(QUORBLY_ABS_BINARY \"\${CMAKE_INSTALL_PREFIX}/${QUORBLY_INSTALL_LIBEXECDIR}/quorbly\")
  include(\"${CMAKE_CURRENT_LIST_DIR}/QuorblyInstallTime.cmake\")
" COMPONENT ${QUORBLY_INSTALL_COMPONENT})

# The Debian package. The dependencies are the Debian 12 packages that hold
# the libraries the game links (dpkg -S on what ldd lists), with the lowest
# versions dpkg-shlibdeps asks for; the package test checks them against
# dpkg-shlibdeps run on the packaged binary.
set(CPACK_PACKAGE_NAME quorbly)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Quorbly developers")
set(CPACK_PACKAGE_CONTACT "Quorbly developers <maintainers@users.noreply.c-seed-043ad2ac.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "hamsters in balls knock each other off a hilly arena")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quorbly is a small 3D arena game for two players at one keyboard, or one
player against a built-in bot. Each player is a hamster running inside a
transparent ball; both balls roll on a hilly, randomly raised terrain and
try to knock each other off its edge. Powerups make a ball grow, speed it
up or steady it, or turn out to be bombs. The first to 5 frags wins.
.
The game needs OpenGL 2.0 for its shaders and shadows and falls back to
plain drawing without them.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_CMAKE_PROJECTS
  "${PROJECT_BINARY_DIR};${PROJECT_NAME};${QUORBLY_INSTALL_COMPONENT};/")
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quorbly.c-seed-043ad2ac.example/")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libc6 (>= 2.34), libgcc-s1 (>= 3.0), libstdc++6 (>= 5), libsdl1.2debian (>= 1.2.15), libsdl-mixer1.2 (>= 1.2.12), libvorbisfile3 (>= 1.1.2), libsoxr0 (>= 0.1.0), libenet7, zlib1g (>= 1:1.2.3.3.dfsg-1), libgl1, libglu1-mesa | libglu1, libglut3.12 (>= 3.4.0)")
# Mesa's drivers, so a machine without a vendor driver still draws.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgl1-mesa-dri")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
