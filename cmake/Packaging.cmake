# The manual page, the copyright and changelog files, and the Debian package built from the install rules by
# `cpack -G DEB` (scripts/package). The version is project(VERSION ...) everywhere.

set(VELMORA_DOC_DIR ${PROJECT_BINARY_DIR}/packaging)

# Debian wants the manual page and the changelog compressed with gzip -9n (no name, no time stamp inside).
configure_file(${PROJECT_SOURCE_DIR}/packaging/velmora.1 ${VELMORA_DOC_DIR}/velmora.1 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog ${VELMORA_DOC_DIR}/changelog @ONLY)
add_custom_command(
    OUTPUT ${VELMORA_DOC_DIR}/velmora.1.gz ${VELMORA_DOC_DIR}/changelog.gz
    COMMAND gzip -9nkf velmora.1 changelog
    DEPENDS ${VELMORA_DOC_DIR}/velmora.1 ${VELMORA_DOC_DIR}/changelog
    WORKING_DIRECTORY ${VELMORA_DOC_DIR}
    VERBATIM)
add_custom_target(velmora_docs ALL DEPENDS ${VELMORA_DOC_DIR}/velmora.1.gz ${VELMORA_DOC_DIR}/changelog.gz)

install(FILES ${VELMORA_DOC_DIR}/velmora.1.gz DESTINATION share/man/man1)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${VELMORA_DOC_DIR}/changelog.gz DESTINATION share/doc/velmora)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "The Velmora team")
set(CPACK_PACKAGE_CONTACT "The Velmora team <support@velmora.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "types stored text snippets into other applications on a hotkey")
# The extended description, one line of the control file per line here.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Velmora keeps a list of text snippets, each with a hotkey (Ctrl or Alt plus"
    "F1-F12, 0-9 or A-Z). Start registers the hotkeys of the checked rows"
    "system-wide; a press in any application types that snippet, character by"
    "character, into the control that has the keyboard focus."
    "Each user's list lives in ~/.config/velmora/. Velmora needs X11 (or XWayland).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://velmora.org/")
# The dependencies are those of the libraries the binary links, as dpkg-shlibdeps finds them, and Qt's X11
# platform plugin, which Qt loads at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Qt's Wayland platform plugin, for a Wayland session without XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
