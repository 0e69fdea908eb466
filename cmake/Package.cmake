# Release artefacts from the project's version: the archive that runs from
# wherever it is unpacked, and the Debian package (CPack) that installs the
# player in /usr/lib/narrowband, its media under /usr/share/narrowband and a
# launcher in /usr/games, with the documentation Debian expects of a package.
set(DEMO_PACKAGE_NAME narrowband)
# What the player needs at run time, for the archive's README; the Debian
# package finds its own dependencies with dpkg-shlibdeps, and the dist test
# checks that these are among them.
set(DEMO_RUNTIME_PACKAGES libsdl1.2debian libsdl-image1.2 libsdl-mixer1.2 libgl1 libglu1-mesa)
string(JOIN " " DEMO_RUNTIME_PACKAGES_TEXT ${DEMO_RUNTIME_PACKAGES})
set(DEMO_DIST_DIR ${PROJECT_SOURCE_DIR}/dist CACHE PATH "Where make dist writes the archive and the .deb")

set(DEMO_MAINTAINER "Narrowband developers <narrowband@example.org>"
    CACHE STRING "The package's Maintainer field and changelog signature")
# The release's date, for the changelog and the manual page: fixed, so the
# same tree gives the same package.
set(DEMO_RELEASE_DATE 2026-12-08)
set(DEMO_RELEASE_DATE_RFC2822 "Tue, 08 Dec 2026 00:00:00 +0000")

set(package ${CMAKE_BINARY_DIR}/package)
set(LAUNCHER_DATA_DIR data)
set(LAUNCHER_PLAYER data/demo)
configure_file(packaging/launcher.sh.in ${package}/archive/narrowband @ONLY)
set(LAUNCHER_DATA_DIR ../share/${DEMO_PACKAGE_NAME})
set(LAUNCHER_PLAYER ../lib/${DEMO_PACKAGE_NAME}/demo)
configure_file(packaging/launcher.sh.in ${package}/deb/narrowband @ONLY)
configure_file(packaging/README.txt.in ${package}/archive/README.txt @ONLY)
configure_file(packaging/narrowband.6.in ${package}/deb/narrowband.6 @ONLY)
configure_file(packaging/changelog.in ${package}/deb/changelog @ONLY)

# Debian keeps manual pages and changelogs compressed, without a time stamp.
set(docs)
foreach(doc narrowband.6 changelog)
  list(APPEND docs ${package}/deb/${doc}.gz)
  add_custom_command(OUTPUT ${package}/deb/${doc}.gz
    COMMAND gzip -9nkf ${package}/deb/${doc}
    DEPENDS ${package}/deb/${doc})
endforeach()
add_custom_target(package_docs ALL DEPENDS ${docs})

# The icon in the sizes desktops ask for most.
set(DEMO_ICON_SIZES 48 128 256)
set(icons)
foreach(size ${DEMO_ICON_SIZES})
  list(APPEND icons ${package}/icons/${size}.png)
  add_custom_command(OUTPUT ${package}/icons/${size}.png
    COMMAND ${CMAKE_COMMAND} -E make_directory ${package}/icons
    COMMAND mediagen-icon ${size} ${package}/icons/${size}.png
    DEPENDS mediagen-icon)
  install(FILES ${package}/icons/${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME ${DEMO_PACKAGE_NAME}.png)
endforeach()
add_custom_target(icons ALL DEPENDS ${icons})

install(TARGETS demo DESTINATION lib/${DEMO_PACKAGE_NAME})
install(FILES ${MEDIA_OUTPUTS} DESTINATION share/${DEMO_PACKAGE_NAME})
# The pictures drawn at twice the size, for full screen at 1080p and above.
install(FILES ${LARGE_PICTURE_OUTPUTS}
        DESTINATION share/${DEMO_PACKAGE_NAME}/${LARGE_PICTURE_FOLDER})
install(PROGRAMS ${package}/deb/narrowband DESTINATION games)
install(FILES packaging/narrowband.desktop DESTINATION share/applications)
install(FILES ${package}/deb/narrowband.6.gz DESTINATION share/man/man6)
install(FILES ${package}/deb/changelog.gz packaging/copyright
        DESTINATION share/doc/${DEMO_PACKAGE_NAME})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${DEMO_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time shader presentation in a narrow window")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A 130-second demo in a 960 x 89 OpenGL window: a stack of GLSL layers\n"
    "(a noise-bent plasma, a ray-marched bar that melts into a spinning box, a\n"
    "warped logo, a polar starfield, a scroller) played to its own soundtrack.")
string(JOIN "" CPACK_DEBIAN_PACKAGE_DESCRIPTION ${CPACK_DEBIAN_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_CONTACT "${DEMO_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The SDL, SDL_image, SDL_mixer and GL runtime packages, from the libraries the player links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)

# make dist: both artefacts into DEMO_DIST_DIR.
add_custom_target(dist
  COMMAND ${CMAKE_COMMAND} -E env CPACK=${CMAKE_CPACK_COMMAND}
          bash ${PROJECT_SOURCE_DIR}/scripts/make-dist.sh ${CMAKE_BINARY_DIR} ${DEMO_DIST_DIR}
          ${DEMO_PACKAGE_NAME} ${PROJECT_VERSION} ${MEDIA_OUTPUTS} ${LARGE_PICTURE_OUTPUTS}
  DEPENDS demo media icons package_docs
  USES_TERMINAL
  COMMENT "Writing the release archive and the Debian package into ${DEMO_DIST_DIR}")
