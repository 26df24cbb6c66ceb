# qbkit_unused_function_check()
#
# Links the tool once more, as qbkit_reachability, from its sources compiled again without
# optimisation and with one section per function, and has the linker drop every section that
# main() cannot reach and list what it dropped in a map file. Without optimisation no call is
# inlined away, so a function whose section is dropped is one that no code of the tool calls.
# The test Structure.ToolCallsEveryFunction (tests/CMakeLists.txt) reads the map. Made where
# the GNU linker writes such maps: ELF systems, not Windows or macOS.
function(qbkit_unused_function_check)
  if(WIN32 OR APPLE)
    return()
  endif()
  get_property(libraries GLOBAL PROPERTY QBKIT_LIBRARIES)
  set(views)
  foreach(name ${libraries})
    list(APPEND views ${PROJECT_BINARY_DIR}/include/${name})
  endforeach()
  set(objects)
  foreach(name ${libraries})
    get_target_property(sources qbkit_${name} SOURCES)
    list(TRANSFORM sources PREPEND ${PROJECT_SOURCE_DIR}/src/${name}/)
    add_library(qbkit_${name}_unoptimised OBJECT ${sources})
    target_include_directories(qbkit_${name}_unoptimised PRIVATE ${views})
    target_compile_definitions(qbkit_${name}_unoptimised PRIVATE QBKIT_ASSERTIONS
                               $<TARGET_PROPERTY:qbkit_${name},COMPILE_DEFINITIONS>)
    target_compile_options(qbkit_${name}_unoptimised PRIVATE -O0 -ffunction-sections)
    list(APPEND objects $<TARGET_OBJECTS:qbkit_${name}_unoptimised>)
  endforeach()
  find_package(Threads REQUIRED)
  add_executable(qbkit_reachability src/driver/main.cc ${objects})
  target_include_directories(qbkit_reachability PRIVATE ${views})
  target_compile_options(qbkit_reachability PRIVATE -O0 -ffunction-sections)
  target_link_libraries(qbkit_reachability PRIVATE Threads::Threads)
  target_link_options(qbkit_reachability PRIVATE -Wl,--gc-sections -Wl,-Map=${PROJECT_BINARY_DIR}/qbkit_reachability.map)
endfunction()
