# A Debian package of everything `cmake --install` puts in place: cpack -G DEB in the build folder.
# scripts/check-package builds it and runs lintian on it.
set(QUORVEL_MAINTAINER "Quorvel maintainers <maintainers@quorvel.example>")

# The files Debian policy asks of every package, compressed as dpkg-deb expects them.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/quorvel)
add_custom_command(OUTPUT changelog.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/package/changelog changelog
  COMMAND gzip -9nf changelog
  DEPENDS package/changelog
  VERBATIM)
add_custom_target(package_changelog ALL DEPENDS changelog.gz)
install(FILES package/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz DESTINATION ${doc_dir})

set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR Quorvel)
set(CPACK_PACKAGE_CONTACT ${QUORVEL_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "back up and patch the index files of Blu-ray disc folders")
set(CPACK_PACKAGE_DESCRIPTION [=[
Quorvel prepares Blu-ray disc folders kept on hard disks. Given a folder (one
movie, a drive or a whole disk), a Modify pass finds every BDMV directory
below it and, in each one, saves the disc's index file into BDMV/BACKUP,
gives the index file an extension-data block (optionally clearing its 3D
flags) and sets the movie-object file's time to now. A Restore pass puts
the saved index files back.

The package holds quorvel, a desktop dialog (Qt 6), and quorvel-cli, the
same passes on the command line, with a scan that changes nothing.]=])
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Stripped as Debian strips: no symbols and no compiler notes.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/package/strip.cmake)
# Qt finds no platform plugin without qt6-qpa-plugins, which libqt6gui6 only recommends. The
# dialogs' Chinese captions need a CJK font; "宋体" is not in Debian.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-wqy-zenhei | fonts-noto-cjk")
include(CPack)
