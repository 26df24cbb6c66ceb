# Install script: writes SHA256SUMS at the top of the installed tree, one line per other file
# in path order, as "<sha256>  <path>" (what `sha256sum -c SHA256SUMS` checks).
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${root}" "${root}/*")
list(REMOVE_ITEM files SHA256SUMS)
list(SORT files)
set(sums "")
foreach(path IN LISTS files)
  file(SHA256 "${root}/${path}" hash)
  string(APPEND sums "${hash}  ${path}\n")
endforeach()
file(WRITE "${root}/SHA256SUMS" "${sums}")
message(STATUS "Written: ${root}/SHA256SUMS")
