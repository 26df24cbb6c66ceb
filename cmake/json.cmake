# qbkit_json: the header-only JSON library of the language server (Debian's
# nlohmann-json3-dev), as an interface target.
#
# QBKIT_JSON_INCLUDE_DIR is the directory that holds nlohmann/json.hpp; it is found in the
# host's include directories, also by the Windows cross build, whose own search looks only
# below the MinGW-w64 root. Users see nothing of that directory but its nlohmann/ folder,
# through a link in the build tree, so that a cross build does not pick up the host's C
# library headers beside it.
find_path(QBKIT_JSON_INCLUDE_DIR nlohmann/json.hpp
  PATHS /usr/include /usr/local/include
  NO_CMAKE_FIND_ROOT_PATH
  DOC "The directory that holds nlohmann/json.hpp (Debian package nlohmann-json3-dev)")
if(NOT QBKIT_JSON_INCLUDE_DIR)
  message(FATAL_ERROR "nlohmann/json.hpp not found: install the Debian package nlohmann-json3-dev, "
                      "or set QBKIT_JSON_INCLUDE_DIR to the directory that holds nlohmann/json.hpp")
endif()

set(qbkit_json_view ${PROJECT_BINARY_DIR}/include/json)
file(MAKE_DIRECTORY ${qbkit_json_view})
file(CREATE_LINK ${QBKIT_JSON_INCLUDE_DIR}/nlohmann ${qbkit_json_view}/nlohmann SYMBOLIC)

add_library(qbkit_json INTERFACE)
# A system directory: the library's own code is not held to qbkit's warnings.
target_include_directories(qbkit_json SYSTEM INTERFACE $<BUILD_INTERFACE:${qbkit_json_view}>)
