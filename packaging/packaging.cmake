# Desktop integration and the Debian package: the launcher, the icon in every
# size, the disk image file types, the AppStream description, the manual
# pages, the bash completion, and CPack's DEB settings.  The program and its
# resources (share/diskwright/) are installed by the rules beside them.
set(DW_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})

install(FILES ${DW_PACKAGING_DIR}/diskwright.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${DW_PACKAGING_DIR}/diskwright.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${DW_PACKAGING_DIR}/diskwright-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME diskwright.xml)
install(FILES ${DW_PACKAGING_DIR}/icons/diskwright.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The manual pages of both programs and the shell completion of the tool.
install(FILES ${DW_PACKAGING_DIR}/man/diskwright.1 ${DW_PACKAGING_DIR}/man/diskwright-cli.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${DW_PACKAGING_DIR}/diskwright-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME diskwright-cli)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${DW_PACKAGING_DIR}/icons/diskwright-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME diskwright.png)
endforeach()

set(CPACK_PACKAGE_NAME diskwright)
set(CPACK_PACKAGE_VENDOR "Diskwright")
set(CPACK_PACKAGE_CONTACT "Diskwright developers <diskwright@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "CP/M disk image editor with a retro text screen")
set(CPACK_PACKAGE_DESCRIPTION "Diskwright opens CP/M disk images (Apple II 140K and 800K, plain \
volumes), lists their directories, copies files in and out, erases, unerases, sorts, initialises and \
creates volumes, on an emulated 80x25 text screen.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The shared libraries (Qt Widgets, Network, Multimedia, libstdc++) come from
# dpkg-shlibdeps; the Qt platform plugins and the fixed-pitch font of the
# printer and console windows are loaded at run time, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-dejavu-core, libdsk4, libarchive13")
# Its /etc/cpmtools/diskdefs adds the disk definitions of many CP/M machines.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "cpmtools")
# The desktop's file-type, launcher and icon caches update themselves
# through the dpkg triggers of these packages.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils, hicolor-icon-theme")
include(CPack)
