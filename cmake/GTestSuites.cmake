# One CTest test per GoogleTest test suite: each suite runs in one process
# (one Wine start-up) instead of one process per case.
#
#   lvm_add_gtest_suites(TARGET
#     [TEST_PREFIX prefix]          # before each suite's name, e.g. "ru1251."
#     [TEST_FILTER filter]          # a --gtest_filter: which cases this registration runs
#     [DISCOVERY_TIMEOUT seconds]
#     [SUITE_LOCKS Suite=lock,lock ...]   # RESOURCE_LOCK of a suite, by name
#     [DEFAULT_LOCKS lock ...]      # RESOURCE_LOCK of a suite SUITE_LOCKS does not name
#     [PROPERTIES name value ...])  # for every suite (LABELS, TIMEOUT, ENVIRONMENT, ...)
#
# The suites are read when the tests run (CTest's TEST_INCLUDE_FILES, as
# GoogleTest's own gtest_discover_tests does in PRE_TEST mode): the executable
# lists its cases once (--gtest_list_tests, kept beside it until it is rebuilt),
# and every registration of that executable groups the cases its filter
# selects by suite. A suite runs with --gtest_filter=Suite.* (minus the
# filter's exclusions), or with its selected cases by name when the filter
# names cases. A case whose name starts with DISABLED_ is not run, as
# GoogleTest does by default; a suite that is disabled as a whole is
# registered as a disabled test.
#
# DEFAULT_LOCKS are for suites that SUITE_LOCKS does not name: a suite nobody
# has looked at yet is kept apart from everything that shares Wine's state.
# "Suite=" gives a suite no lock. A name in SUITE_LOCKS that the executable no
# longer lists is reported with a warning when the tests are read.

set(LVM_GTEST_SUITES_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/GTestSuitesDiscover.cmake)
set(LVM_GTEST_SUITES_RUNNER ${CMAKE_CURRENT_LIST_DIR}/gtest-suite-run.sh)

function(lvm_add_gtest_suites target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "TEST_PREFIX;TEST_FILTER;DISCOVERY_TIMEOUT"
                        "SUITE_LOCKS;DEFAULT_LOCKS;PROPERTIES")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "lvm_add_gtest_suites: unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT arg_DISCOVERY_TIMEOUT)
    set(arg_DISCOVERY_TIMEOUT 60)
  endif()

  # One numbered include file per registration of the target.
  get_property(count TARGET ${target} PROPERTY LVM_GTEST_SUITES_COUNT)
  if(NOT count)
    set(count 0)
  endif()
  math(EXPR count "${count} + 1")
  set_property(TARGET ${target} PROPERTY LVM_GTEST_SUITES_COUNT ${count})

  set(base "${CMAKE_CURRENT_BINARY_DIR}/${target}-suites-${count}")
  set(include_file "${base}-include.cmake")
  set(ctest_file "${base}-tests.cmake")
  set(list_file "${CMAKE_CURRENT_BINARY_DIR}/${target}-gtest-list.txt")

  # Bracket arguments keep any character as it is; a list goes in as one
  # argument per element.
  foreach(list_name SUITE_LOCKS DEFAULT_LOCKS PROPERTIES)
    set(args_${list_name} "")
    foreach(element IN LISTS arg_${list_name})
      string(APPEND args_${list_name} " [==[${element}]==]")
    endforeach()
  endforeach()
  set(content
"set(exe \"$<TARGET_FILE:${target}>\")
if(NOT EXISTS \"\${exe}\")
  add_test([=[${arg_TEST_PREFIX}${target}_NOT_BUILT]=] [=[${target}_NOT_BUILT]=])
  return()
endif()
if(NOT EXISTS [==[${ctest_file}]==] OR
   NOT [==[${ctest_file}]==] IS_NEWER_THAN \"\${exe}\" OR
   NOT [==[${ctest_file}]==] IS_NEWER_THAN \"\${CMAKE_CURRENT_LIST_FILE}\" OR
   NOT [==[${ctest_file}]==] IS_NEWER_THAN [==[${LVM_GTEST_SUITES_SCRIPT}]==])
  include([==[${LVM_GTEST_SUITES_SCRIPT}]==])
  lvm_gtest_suites_discover(
    EXECUTABLE \"\${exe}\"
    EXECUTOR [==[${CMAKE_CROSSCOMPILING_EMULATOR}]==]
    RUNNER [==[${LVM_GTEST_SUITES_RUNNER}]==]
    WORKING_DIRECTORY [==[${CMAKE_CURRENT_BINARY_DIR}]==]
    LIST_FILE [==[${list_file}]==]
    CTEST_FILE [==[${ctest_file}]==]
    TEST_PREFIX [==[${arg_TEST_PREFIX}]==]
    TEST_FILTER [==[${arg_TEST_FILTER}]==]
    DISCOVERY_TIMEOUT [==[${arg_DISCOVERY_TIMEOUT}]==]
    SUITE_LOCKS${args_SUITE_LOCKS}
    DEFAULT_LOCKS${args_DEFAULT_LOCKS}
    PROPERTIES${args_PROPERTIES})
endif()
include([==[${ctest_file}]==])
")
  file(GENERATE OUTPUT "${include_file}" CONTENT "${content}")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${include_file}")
endfunction()
