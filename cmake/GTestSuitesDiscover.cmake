# The test-time half of GTestSuites.cmake: run by CTest (through the include
# file that lvm_add_gtest_suites writes) when the executable is newer than the
# test list made from it. Writes one add_test per GoogleTest suite.

cmake_minimum_required(VERSION 3.20)

# A GoogleTest filter pattern list ("A.*:B.c") as an anchored regular expression.
function(_lvm_gtest_patterns_regex patterns out)
  set(alternatives "")
  foreach(pattern IN LISTS patterns)
    if(pattern STREQUAL "")
      continue()
    endif()
    foreach(special "\\" "." "+" "^" "$" "|" "(" ")" "[" "]")
      string(REPLACE "${special}" "\\${special}" pattern "${pattern}")
    endforeach()
    string(REPLACE "*" ".*" pattern "${pattern}")
    string(REPLACE "?" "." pattern "${pattern}")
    list(APPEND alternatives "${pattern}")
  endforeach()
  if(alternatives)
    list(JOIN alternatives "|" joined)
    set(${out} "^(${joined})$" PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

# Appends a command to `script`, each argument in brackets.
macro(_lvm_gtest_add_command name)
  set(_line "${name}(")
  foreach(_arg ${ARGN})
    string(APPEND _line " [==[${_arg}]==]")
  endforeach()
  string(APPEND script "${_line})\n")
endmacro()

function(lvm_gtest_suites_discover)
  cmake_parse_arguments(PARSE_ARGV 0 arg ""
    "EXECUTABLE;EXECUTOR;RUNNER;WORKING_DIRECTORY;LIST_FILE;CTEST_FILE;TEST_PREFIX;TEST_FILTER;DISCOVERY_TIMEOUT"
    "SUITE_LOCKS;DEFAULT_LOCKS;PROPERTIES")

  # The executable's cases, listed once for all its registrations.
  if(NOT EXISTS "${arg_LIST_FILE}" OR NOT "${arg_LIST_FILE}" IS_NEWER_THAN "${arg_EXECUTABLE}")
    execute_process(
      COMMAND ${arg_EXECUTOR} "${arg_EXECUTABLE}" --gtest_list_tests
      WORKING_DIRECTORY "${arg_WORKING_DIRECTORY}"
      TIMEOUT ${arg_DISCOVERY_TIMEOUT}
      OUTPUT_VARIABLE output
      ERROR_VARIABLE errors
      RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "Listing the tests of ${arg_EXECUTABLE} failed (${result}):\n${output}\n${errors}")
    endif()
    file(WRITE "${arg_LIST_FILE}" "${output}")
  endif()
  file(STRINGS "${arg_LIST_FILE}" lines)

  # The registration's filter, as GoogleTest reads it: POSITIVE[-NEGATIVE].
  set(positive "${arg_TEST_FILTER}")
  set(negative "")
  string(FIND "${arg_TEST_FILTER}" "-" dash)
  if(dash GREATER_EQUAL 0)
    string(SUBSTRING "${arg_TEST_FILTER}" 0 ${dash} positive)
    math(EXPR after "${dash} + 1")
    string(SUBSTRING "${arg_TEST_FILTER}" ${after} -1 negative)
  endif()
  string(REPLACE ":" ";" positive_list "${positive}")
  string(REPLACE ":" ";" negative_list "${negative}")
  _lvm_gtest_patterns_regex("${positive_list}" positive_regex)
  _lvm_gtest_patterns_regex("${negative_list}" negative_regex)

  # Cases grouped by suite, in the executable's order.
  set(all_suites "")
  set(suites "")
  set(suite "")
  foreach(line IN LISTS lines)
    string(REPLACE "\r" "" line "${line}")
    if(line MATCHES "gtest_main\\.cc" OR line STREQUAL "")
      continue()
    endif()
    if(NOT line MATCHES "^  ")
      # "Suite." or "Prefix/Suite/0.  # TypeParam = ..."
      string(REGEX REPLACE "\\.( +#.*)?$" "" suite "${line}")
      list(APPEND all_suites "${suite}")
      continue()
    endif()
    string(STRIP "${line}" test)
    string(REGEX REPLACE " +#.*" "" test "${test}")
    set(full "${suite}.${test}")
    if(positive_regex AND NOT full MATCHES "${positive_regex}")
      continue()
    endif()
    if(negative_regex AND full MATCHES "${negative_regex}")
      continue()
    endif()
    if(NOT DEFINED cases_${suite})
      list(APPEND suites "${suite}")
      set(cases_${suite} "")
    endif()
    list(APPEND cases_${suite} "${full}")
    if(NOT suite MATCHES "^DISABLED_" AND NOT test MATCHES "^DISABLED_")
      set(enabled_${suite} TRUE)
    endif()
  endforeach()

  # Locks by suite name ("Suite=" for none). A name the executable no longer
  # lists is only worth a warning: the suite under its new name gets the
  # default locks, which keep it apart from everything.
  foreach(entry IN LISTS arg_SUITE_LOCKS)
    if(NOT entry MATCHES "^([^=]+)=(.*)$")
      message(FATAL_ERROR "SUITE_LOCKS entry '${entry}' is not Suite=lock,lock")
    endif()
    set(name "${CMAKE_MATCH_1}")
    string(REPLACE "," ";" locks_of_name "${CMAKE_MATCH_2}")
    if(NOT name IN_LIST all_suites)
      message(WARNING "SUITE_LOCKS names '${name}', which ${arg_EXECUTABLE} does not list: "
                      "map the suite under its new name in tests/CMakeLists.txt")
    endif()
    set(locks_${name} "${locks_of_name}")
    set(mapped_${name} TRUE)
  endforeach()

  set(script "")
  foreach(suite IN LISTS suites)
    set(name "${arg_TEST_PREFIX}${suite}")
    if(positive_regex)
      list(JOIN cases_${suite} ":" filter)
    elseif(negative)
      set(filter "${suite}.*-${negative}")
    else()
      set(filter "${suite}.*")
    endif()
    if(enabled_${suite})
      _lvm_gtest_add_command(add_test "${name}" "${arg_RUNNER}" ${arg_EXECUTOR} "${arg_EXECUTABLE}"
                             "--gtest_filter=${filter}")
    else()
      # Only disabled cases: registered, not run unless asked for by name.
      _lvm_gtest_add_command(add_test "${name}" "${arg_RUNNER}" ${arg_EXECUTOR} "${arg_EXECUTABLE}"
                             "--gtest_filter=${filter}" --gtest_also_run_disabled_tests)
      _lvm_gtest_add_command(set_tests_properties "${name}" PROPERTIES DISABLED TRUE)
    endif()
    if(mapped_${suite})
      set(locks "${locks_${suite}}")
    else()
      set(locks "${arg_DEFAULT_LOCKS}")
    endif()
    # The runner reports a suite whose every case was skipped with 77.
    _lvm_gtest_add_command(set_tests_properties "${name}" PROPERTIES
      WORKING_DIRECTORY "${arg_WORKING_DIRECTORY}" SKIP_RETURN_CODE 77 ${arg_PROPERTIES})
    if(locks)
      # One argument holding the whole list.
      string(APPEND script "set_tests_properties([==[${name}]==] PROPERTIES RESOURCE_LOCK [==[${locks}]==])\n")
    endif()
  endforeach()
  file(WRITE "${arg_CTEST_FILE}" "${script}")
endfunction()
