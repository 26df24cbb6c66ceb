# qbkit_link_statically(<target>)
#
# A static executable skips the dynamic loader, which is most of a short run's time. Fully
# static (-static) where the toolchain can link it; otherwise libstdc++ and libgcc only. The
# tool calls nothing that needs glibc's run-time loaded modules (no user, group or host
# lookups, no iconv, no locales). Sanitizer and fuzz builds stay dynamic: their runtimes
# need it. QBKIT_STATIC=OFF links the ordinary way.
include(CheckCXXSourceCompiles)

function(qbkit_link_statically target)
  if(NOT QBKIT_STATIC OR QBKIT_SANITIZE OR QBKIT_FUZZ)
    return()
  endif()
  if(MINGW)
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
    return()
  endif()
  set(CMAKE_REQUIRED_LINK_OPTIONS -static)
  check_cxx_source_compiles("
    #include <filesystem>
    #include <iostream>
    int main() { std::cout << std::filesystem::current_path() << std::endl; }"
    QBKIT_CAN_LINK_STATIC)
  unset(CMAKE_REQUIRED_LINK_OPTIONS)
  if(QBKIT_CAN_LINK_STATIC)
    target_link_options(${target} PRIVATE -static)
  else()
    target_link_options(${target} PRIVATE -static-libgcc -static-libstdc++)
  endif()
endfunction()
