# Run by CPack on the staged files before it packs them: strips the programs as dh_strip does,
# leaving no symbols and no .comment or .note section.
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/*")
foreach(program ${programs})
  execute_process(
    COMMAND strip --remove-section=.comment --remove-section=.note --strip-unneeded ${program}
    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
