# What qbkit installs, and the packages that `make dist` makes of it with CPack.
#
# Windows (the MinGW build): qbkit-X.Y.Z-windows-x64.zip, everything at the top of the zip:
#   qbkit.exe, README.md, examples/example.qb and mod.bat, editors/ (the VS Code extension given by
#   QBKIT_VSIX, the Notepad++ language, the Sublime syntax) and SHA256SUMS of the other files.
# Linux: a tarball and a .deb of the static binary, with the README.
#
# CPack installs what is built; it does not build everything first (`make dist` builds the
# qbkit target alone), so a tree configured with the tests packages without building them.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_PACKAGE_NAME qbkit)
set(CPACK_PACKAGE_VENDOR qbkit)
set(CPACK_PACKAGE_CONTACT "qbkit developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Decompiles the game's QB scripts to text and compiles them back; creates and unpacks PRE archives")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(QBKIT_VSIX "" CACHE FILEPATH "The packaged VS Code extension (.vsix) that the Windows zip carries")
  install(TARGETS qbkit RUNTIME DESTINATION .)
  install(FILES README.md DESTINATION .)
  install(FILES examples/example.qb examples/mod.bat DESTINATION examples)
  install(FILES editors/notepad++/qb-script.udl.xml editors/sublime/QBScript.tmLanguage
                editors/sublime/QBScript.sublime-build DESTINATION editors)
  if(QBKIT_VSIX)
    install(FILES ${QBKIT_VSIX} DESTINATION editors)
  endif()
  # Last, once every other file is in place.
  install(SCRIPT cmake/write_sha256sums.cmake)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME qbkit-${PROJECT_VERSION}-windows-x64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  include(GNUInstallDirs)
  install(TARGETS qbkit)
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

  set(CPACK_GENERATOR "TGZ;DEB")
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    set(CPACK_PACKAGE_FILE_NAME qbkit-${PROJECT_VERSION}-linux-x64)
  else()
    set(CPACK_PACKAGE_FILE_NAME qbkit-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
  endif()
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
endif()

include(CPack)
