# Run at build time (cmake -P): writes the time stamp that the linker puts
# into the installer's PE header to OUTPUT, and touches the file only when the
# value changes, so that a new commit relinks and nothing else does.
#
# The value is the commit's time, as reproducible builds agree on: the
# SOURCE_DATE_EPOCH of the environment when set, else the committer time of
# HEAD in SOURCE_DIR, else 0 (a tree without its history).
#   cmake -DSOURCE_DIR=... -DOUTPUT=... -P SourceDateEpoch.cmake
if(DEFINED ENV{SOURCE_DATE_EPOCH} AND NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
else()
  execute_process(COMMAND git -C "${SOURCE_DIR}" log -1 --format=%ct
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE result ERROR_QUIET)
  if(NOT result EQUAL 0 OR NOT epoch MATCHES "^[0-9]+$")
    set(epoch 0)
  endif()
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH is not a number of seconds: '${epoch}'")
endif()
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL "${epoch}")
  file(WRITE "${OUTPUT}" "${epoch}")
endif()
