# The libFuzzer targets, brought in by the "fuzz" preset at the end of the
# top-level project() call. They are defined once the whole project has been
# read, so that they build against the same product library, compiled with
# the same instrumentation, as everything else in this build tree.
#
# Each target is also a ctest test in two ways: once over its seed corpus and
# every regression case (quick, and exact: a case that once failed must pass),
# and once as a bounded fuzzing run.
include_guard(GLOBAL)

set(FUZZ_SECONDS 60 CACHE STRING "How long each bounded fuzzing run lasts")
set(FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})

function(add_fuzz_target name source)
  add_executable(${name} ${FUZZ_DIR}/${source})
  target_link_libraries(${name} PRIVATE product)
  target_compile_options(${name} PRIVATE -Wall -Wextra)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)

  set(seeds ${FUZZ_DIR}/corpus/${name})
  set(regressions ${FUZZ_DIR}/regressions/${name})
  add_test(NAME ${name}_cases
    COMMAND ${FUZZ_DIR}/run-fuzzer cases $<TARGET_FILE:${name}> ${seeds} ${regressions})
  add_test(NAME ${name}_run
    COMMAND ${FUZZ_DIR}/run-fuzzer run $<TARGET_FILE:${name}> ${seeds} ${regressions}
            ${FUZZ_SECONDS})
  set_tests_properties(${name}_cases ${name}_run PROPERTIES LABELS fuzz)
  set_tests_properties(${name}_run PROPERTIES TIMEOUT 300)
endfunction()

function(add_fuzz_targets)
  add_fuzz_target(fuzz_pathrules pathrules_fuzz.cpp)
  add_fuzz_target(fuzz_manifest manifest_fuzz.cpp)
endfunction()

cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL add_fuzz_targets)
