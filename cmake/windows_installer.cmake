# The Windows installer, beside the zip: quorvel-VERSION-win64.msi, made with msitools from the
# programs of this build (res/installer/make-msi.sh).
find_program(QUORVEL_WIXL wixl REQUIRED)
find_program(QUORVEL_MSIBUILD msibuild REQUIRED)
set(QUORVEL_INSTALLER_SOURCES
  ${PROJECT_SOURCE_DIR}/res/installer/make-msi.sh
  ${PROJECT_SOURCE_DIR}/res/installer/quorvel.wxs
  ${PROJECT_SOURCE_DIR}/res/installer/explorer_verbs.wxi
  ${PROJECT_SOURCE_DIR}/res/installer/Environment.idt
  ${PROJECT_SOURCE_DIR}/res/quorvel.ico)

# An installer of this build's programs as version VERSION (major.minor.build: Windows Installer
# compares no more), in OUTPUT.
function(quorvel_add_msi target output version)
  add_custom_command(OUTPUT ${output}
    COMMAND bash ${PROJECT_SOURCE_DIR}/res/installer/make-msi.sh ${output} ${version}
      $<TARGET_FILE:quorvel> $<TARGET_FILE:quorvel-cli> ${CMAKE_STRIP}
    DEPENDS quorvel quorvel-cli ${QUORVEL_INSTALLER_SOURCES}
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${output})
endfunction()

set(QUORVEL_MSI ${CMAKE_BINARY_DIR}/quorvel-${PROJECT_VERSION}-win64.msi
  CACHE INTERNAL "the Windows installer")
quorvel_add_msi(quorvel_msi ${QUORVEL_MSI}
  ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
