# Every fuzz target replays its kept inputs as part of the test suite (label
# "fuzz"): the regression inputs and the seeds, each run once, a fraction of a
# second a target. Fuzzing itself is scripts/fuzz.sh's, for as long as asked.
# The targets are native programs: they are built with the host's clang by a
# project of their own (tests/fuzz/CMakeLists.txt) next to the cross build,
# and only where that clang can link a libFuzzer program at all.
include(ExternalProject)

find_program(LVM_HOST_CLANGXX NAMES clang++ clang++-14)
if(LVM_HOST_CLANGXX AND NOT LVM_HOST_LIBFUZZER)
  # libFuzzer and the sanitizer runtimes come in a package apart from clang.
  set(probe_dir ${CMAKE_BINARY_DIR}/fuzz-probe)
  file(WRITE ${probe_dir}/probe.cpp
    "#include <cstddef>\n#include <cstdint>\n"
    "extern \"C\" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }\n")
  execute_process(
    COMMAND ${LVM_HOST_CLANGXX} -fsanitize=fuzzer,address,undefined ${probe_dir}/probe.cpp
            -o ${probe_dir}/probe
    RESULT_VARIABLE probe_result OUTPUT_QUIET ERROR_QUIET)
  if(probe_result EQUAL 0)
    set(LVM_HOST_LIBFUZZER ON CACHE INTERNAL "The host's clang links libFuzzer programs")
  endif()
endif()

if(NOT LVM_HOST_LIBFUZZER)
  message(STATUS "No host clang with libFuzzer: fuzz smoke tests left out (scripts/setup.sh installs it)")
  return()
endif()

set(LVM_FUZZ_BUILD_DIR ${CMAKE_BINARY_DIR}/fuzz)  # where scripts/fuzz.sh builds too
ExternalProject_Add(lvm_fuzz_targets
  SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}
  BINARY_DIR ${LVM_FUZZ_BUILD_DIR}
  CMAKE_ARGS -DCMAKE_CXX_COMPILER=${LVM_HOST_CLANGXX}
  INSTALL_COMMAND ""
  # The inner build knows its own dependencies on the rule sources.
  BUILD_ALWAYS ON)

file(GLOB LVM_FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/fuzz_*.cpp)
foreach(source ${LVM_FUZZ_SOURCES})
  get_filename_component(target ${source} NAME_WE)
  add_test(NAME Fuzz.${target}
    COMMAND sh ${CMAKE_SOURCE_DIR}/scripts/fuzz.sh --replay --no-build ${target})
  set_tests_properties(Fuzz.${target} PROPERTIES LABELS fuzz TIMEOUT 30
    ENVIRONMENT "LVM_BUILD_DIR=${CMAKE_BINARY_DIR}")
endforeach()
