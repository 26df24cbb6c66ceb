# Read by CPack for each package it makes (CPACK_PROJECT_CONFIG_FILE). The .deb is made of
# components, all in one package, so that it holds the README compressed, as Debian keeps
# documentation; the tarball installs what a plain install does, the README as it is.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENTS_ALL tool readme_gz)
endif()
