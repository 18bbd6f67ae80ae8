# The Windows zip: quorvel.exe, quorvel-cli.exe and a read-me, side by side in one folder.
# `cpack -G ZIP` in the cross build folder makes it (scripts/package-windows).
install(FILES ${PROJECT_SOURCE_DIR}/res/readme-windows.txt DESTINATION . RENAME README.txt)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR Quorvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_GENERATOR ZIP)
set(CPACK_STRIP_FILES ON)
include(CPack)
