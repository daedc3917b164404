# The Debian package: `cpack` in a build tree (scripts/package.sh does it in build-package/)
# writes vidbrisk_<version>_<arch>.deb holding everything the install rules put under a
# prefix, installed under /usr. cmake/DebianLayout.cmake then gives the staged tree the
# Debian conventions a plain `cmake --install` does not want: compressed manual pages, the
# changelog and the copyright file in /usr/share/doc/vidbrisk.

# Run-time packages that dpkg-shlibdeps cannot find by itself, in one list.
#  - The media libraries are opened with dlopen by their sonames (FFMPEG/lib/), so no
#    program links them. libavcodec-extra59 brings the encoders the catalogue needs beyond
#    Debian's plain build (AMR-NB for 3GP and 3G2); it provides libavcodec59, so both
#    names hold together.
#  - The Qt libraries the programs link are found by dpkg-shlibdeps from the programs. Two
#    of them also hold the plugins Qt loads at run time: libqt6gui6 the X11 platform plugin
#    (xcb) the window needs to show, libqt6multimedia6 the FFmpeg backend the preview plays
#    through (platform/TMoviePlayer). qt6-qpa-plugins holds only the VNC and touch-screen
#    platform plugins: nothing of it is used.
set(VIDBRISK_PACKAGE_DEPENDS
    "libavcodec59 (>= 7:5.1)"
    "libavcodec-extra59 (>= 7:5.1)"
    "libavformat59 (>= 7:5.1)"
    "libavutil57 (>= 7:5.1)"
    "libswscale6 (>= 7:5.1)"
    "libswresample4 (>= 7:5.1)")
# On a Wayland desktop the window uses Qt's Wayland plugin (qt6-wayland; without it Qt
# falls back to X11 through XWayland). Links of the help to other sites open in the
# desktop's browser (xdg-open); completion needs bash-completion.
set(VIDBRISK_PACKAGE_RECOMMENDS "qt6-wayland" "xdg-utils" "bash-completion")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vidbrisk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Morvane)
set(CPACK_PACKAGE_CONTACT "Vidbrisk maintainers <maintainers@morvane.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://morvane.org/vidbrisk)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
list(JOIN VIDBRISK_PACKAGE_DEPENDS ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
list(JOIN VIDBRISK_PACKAGE_RECOMMENDS ", " CPACK_DEBIAN_PACKAGE_RECOMMENDS)
# The first line is the synopsis, the rest the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "desktop converter for video and audio files
Vidbrisk converts video and audio files into other formats. Add files to a
list, pick an output format from a fixed catalogue (Flash Video, formats for
phones and players, general video, disc and sound-only formats), adjust the
video and audio settings the format offers and convert every file in turn,
with progress, speed and time left for each.
.
The package holds the window program, vidbrisk, and the command-line
converter, vidbrisk-convert, which offers the same formats and settings.")

# The staged tree gets the Debian conventions just before it is packed.
set(VIDBRISK_PACKAGE_CHANGELOG ${CMAKE_BINARY_DIR}/package/changelog)
configure_file(${CMAKE_SOURCE_DIR}/share/debian/changelog.in ${VIDBRISK_PACKAGE_CHANGELOG}
               @ONLY)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/DebianLayout.cmake)
set(VIDBRISK_PACKAGE_COPYRIGHT ${CMAKE_SOURCE_DIR}/share/debian/copyright)
# CPack passes CPACK_* variables on to the pre-build script.
set(CPACK_VIDBRISK_CHANGELOG ${VIDBRISK_PACKAGE_CHANGELOG})
set(CPACK_VIDBRISK_COPYRIGHT ${VIDBRISK_PACKAGE_COPYRIGHT})

include(CPack)
