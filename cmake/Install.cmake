# `make install` and the Debian package. The program and its tools go to <prefix>/bin; what the
# program ships with goes to <prefix>/share/tevrinemu, where an executable without Lang/ beside
# it looks (../share/tevrinemu); the desktop's files go to their freedesktop places. The
# delivered configuration is the one generated from the project version, never the copy in the
# build's program folder, which the program rewrites when run from there.
include(GNUInstallDirs)
set(TEVRIN_INSTALL_DATA ${CMAKE_INSTALL_DATADIR}/tevrinemu)

if(TARGET tevrinemu)
  install(TARGETS tevrinemu RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# tevrin-cpm is a test harness for the processor and stays in the build.
install(TARGETS tevrin-tape tevrin-asm tevrin-disasm RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${CMAKE_BINARY_DIR}/resources/TevrinEmu.xml ${TEVRIN_BIN_DIR}/tevrin.rom
              ${CMAKE_SOURCE_DIR}/README.md
        DESTINATION ${TEVRIN_INSTALL_DATA})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/Lang/ DESTINATION ${TEVRIN_INSTALL_DATA}/Lang)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION ${TEVRIN_INSTALL_DATA}/doc
        FILES_MATCHING PATTERN "*.md" PATTERN "*.png")

install(FILES ${TEVRIN_SHARE_DIR}/applications/tevrinemu.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TEVRIN_SHARE_DIR}/mime/packages/tevrinemu.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(DIRECTORY ${TEVRIN_SHARE_DIR}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# The Debian package: the same install, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tevrinemu)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
set(CPACK_PACKAGE_VENDOR "Tevrin Emulator developers")
set(CPACK_PACKAGE_CONTACT "Tevrin Emulator developers <tevrinemu@localhost>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Emulator of the Tevrin 8080 microcomputer")
# One string: the summary is the synopsis line, this the extended description below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Runs the Tevrin, an eight-bit microcomputer built round an Intel 8080, in\n\
real time: its paged RAM and colour screen, timer, serial and interrupt chips,\n\
speaker, tape recorder with browser and editor, SD-ROM module, Muse sound\n\
interface and joystick, with a debugger, an inline assembler and a disassembler.\n\
Includes the command-line tools tevrin-tape, tevrin-asm and tevrin-disasm.")
set(CPACK_DEBIAN_PACKAGE_SECTION otherosfs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/packaging/debian/postinst ${CMAKE_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
include(CPack)
