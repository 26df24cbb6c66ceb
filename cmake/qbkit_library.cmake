# qbkit_library(<name> SOURCES <files...> [DEPENDS <names...>])
#
# Declares the static library qbkit_<name> built from src/<name>/. Its users see its headers as
# "<name>/header.h" and nothing else of src/: the include directory each library exports holds
# a single link, <name> -> src/<name>, so a header of a subsystem that is not a declared
# dependency is not found and the build fails. The layering is spelled out by DEPENDS. Every
# name is also kept in the global property QBKIT_LIBRARIES, in the order declared.
function(qbkit_library name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;DEPENDS")
  set(view ${PROJECT_BINARY_DIR}/include/${name})
  file(MAKE_DIRECTORY ${view})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${name} ${view}/${name} SYMBOLIC)

  add_library(qbkit_${name} STATIC ${arg_SOURCES})
  target_include_directories(qbkit_${name} PUBLIC $<BUILD_INTERFACE:${view}>)
  foreach(dependency ${arg_DEPENDS})
    target_link_libraries(qbkit_${name} PUBLIC qbkit_${dependency})
  endforeach()
  set_property(GLOBAL APPEND PROPERTY QBKIT_LIBRARIES ${name})
endfunction()
