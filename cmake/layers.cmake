# The core's layers, platform <- bdmv <- disc_image <- pass, each a library that sees its own
# headers and those of the layers below it, never one above. Each layer's include root is a folder
# of the build tree that holds one link, to its own source folder; it reaches the layers above
# through the link between the libraries, so an include of a higher layer's header finds nothing
# and the build stops there.
function(quorvel_add_layer layer)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "BELOW" "SOURCES")
  set(root ${PROJECT_BINARY_DIR}/layers/${layer})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${layer} ${root}/${layer} SYMBOLIC)
  add_library(quorvel_${layer} STATIC ${arg_SOURCES})
  target_include_directories(quorvel_${layer} PUBLIC ${root})
  if(arg_BELOW)
    target_link_libraries(quorvel_${layer} PUBLIC quorvel_${arg_BELOW})
  endif()
endfunction()
