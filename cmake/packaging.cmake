# What qbkit installs, and the packages that `make dist` makes of it with CPack.
#
# Windows (the MinGW build): qbkit-X.Y.Z-windows-x64.zip, everything at the top of the zip:
#   qbkit.exe, README.md, examples/example.qb and mod.bat, editors/ (the VS Code extension given by
#   QBKIT_VSIX, the Notepad++ language, the Sublime syntax) and SHA256SUMS of the other files.
# Linux: a tarball and a .deb of the static binary, with the README (compressed in the .deb,
#   as README.md.gz, where Debian keeps documentation).
#
# CPack installs what is built; it does not build everything first (`make dist` builds the
# qbkit target alone), so a tree configured with the tests packages without building them.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_PACKAGE_NAME qbkit)
set(CPACK_PACKAGE_VENDOR qbkit)
set(CPACK_PACKAGE_CONTACT "qbkit developers")
# The synopsis, the first line of the package's description: under 80 characters.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Decompiles and compiles QB game scripts; packs and unpacks PRE archives")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "qbkit is a command-line tool for people who modify the game's scripts.\n"
       "It decompiles QB files, the game's compiled scripts, to readable script text, and\n"
       "compiles that text back to a byte-identical QB file, with the names of a script\n"
       "kept in a table file beside it. It creates, fills, lists, rebuilds and unpacks the\n"
       "PRE archives that hold the game's scripts, with its own LZSS codec, and prints the\n"
       "table line that declares a new name with the game's checksum.\n"
       "\n"
       "It also serves editors as a language server for the script text.")
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
  install(TARGETS qbkit COMPONENT tool)
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT readme)
  # The .deb's README is compressed when it is installed (only the .deb installs it).
  install(CODE "
    set(doc \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DOCDIR}\")
    file(MAKE_DIRECTORY \"\${doc}\")
    file(ARCHIVE_CREATE OUTPUT \"\${doc}/README.md.gz\" PATHS \"${PROJECT_SOURCE_DIR}/README.md\"
         FORMAT raw COMPRESSION GZip COMPRESSION_LEVEL 9)"
    COMPONENT readme_gz EXCLUDE_FROM_ALL)
  # Each package takes its components (cmake/cpack_components.cmake): the tarball the README
  # as it is, the .deb the compressed one.
  set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack_components.cmake)

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
