# The Debian package: `cpack -G DEB` in a build tree of the linux preset.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lyrabinder)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Ovo Tek")
set(CPACK_PACKAGE_CONTACT "MP3 - Lyrabinder <lyrabinder@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "binds MP3 tracks, lyrics and album art into one album file")
set(CPACK_PACKAGE_DESCRIPTION
    "MP3 - Lyrabinder packs an album's tracks (128 kbps MP3 files), their lyrics
and the album art into one album file that every player still plays from its
first track to its last. It takes items back out of albums and AlbumWrap
archives, plays an album beside a web view of its lyrics and pictures, writes
CUE sheets and converts WAV recordings to MP3.

The package holds the desktop program lyrabinder, the command line
lyrabinder-cli and a thumbnailer that shows an album's cover in file managers.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://lyrabinder.example.org/")
# Dependencies from the libraries the programs link, as dpkg-shlibdeps finds them; SDL2 is
# loaded only when the player first plays, so the linker does not see it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsdl2-2.0-0")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/package/postinst ${CMAKE_CURRENT_LIST_DIR}/package/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Debian's policy files in the package's doc folder.
set(LB_DOC_DIR share/doc/${CPACK_PACKAGE_NAME})
set(LB_CHANGELOG ${PROJECT_BINARY_DIR}/changelog.Debian.gz)
add_custom_command(OUTPUT ${LB_CHANGELOG}
  COMMAND gzip -9nc ${CMAKE_CURRENT_LIST_DIR}/package/changelog > ${LB_CHANGELOG}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/package/changelog VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${LB_CHANGELOG})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/package/copyright ${LB_CHANGELOG} DESTINATION ${LB_DOC_DIR})

include(CPack)
