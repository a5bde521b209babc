# The Debian package (scripts/package): the window and the command-line program, the menu entry
# with the floppy picture as its icon, the README and the drive-code note. The menu entry starts
# the window in ~/Diskwright, where the adapter's drive-code files go; the package ships none.
if(NOT DISKWRIGHT_GUI)
  message(FATAL_ERROR "The package holds the window: DISKWRIGHT_PACKAGE needs DISKWRIGHT_GUI")
endif()
include(GNUInstallDirs)

# The icon is the picture the window draws, written out at build time.
add_executable(diskwright_icon tools/floppy_icon.cpp)
target_link_libraries(diskwright_icon PRIVATE diskwright_window)
set(DISKWRIGHT_ICON ${CMAKE_BINARY_DIR}/diskwright.png)
add_custom_command(OUTPUT ${DISKWRIGHT_ICON} COMMAND diskwright_icon ${DISKWRIGHT_ICON}
                   DEPENDS diskwright_icon)
add_custom_target(diskwright_icon_png ALL DEPENDS ${DISKWRIGHT_ICON})

configure_file(packaging/diskwright.desktop.in ${CMAKE_BINARY_DIR}/diskwright.desktop @ONLY)
configure_file(packaging/diskwright-desktop.in ${CMAKE_BINARY_DIR}/diskwright-desktop @ONLY)

install(TARGETS diskwright diskwright-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS ${CMAKE_BINARY_DIR}/diskwright-desktop
        DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/diskwright)
install(FILES ${CMAKE_BINARY_DIR}/diskwright.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${DISKWRIGHT_ICON} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
install(FILES README.md docs/drive-code.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/diskwright)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME diskwright)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Diskwright developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Commodore floppy drives on a PC through the BUSLINK V2.0 adapter")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Disk images made from and written to real 1541, 1570, 1571 and 1581 drives
 (D64, D71, D81, G64, with error sectors), verify, fast format, directory and
 PRG transfer, DOS commands and low-level GCR tools, in a window (diskwright)
 and from the command line (diskwright-cli). The drive-code files of the
 adapter go into ~/Diskwright (see /usr/share/doc/diskwright/drive-code.md).")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
# The libraries the programs link come from dpkg-shlibdeps; Qt's display plugins are loaded at
# run time, so no library names them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
include(CPack)
