# One installer per package description (packages/NAME.ini): NAME-setup.exe,
# carrying the package, its values of TPackageConfig and a version resource,
# all generated from the description by tools/check_package.py.
#
#   lvm_add_installer(DESCRIPTION <file> [RESULT_NAME <var>] [RESULT_EXE <var>]
#                     [VALUES_SOURCE <var>] [RESOURCES <var>])
#
# sets, in the caller's scope, the package name, the stamped installer's path,
# the generated package_values.cpp (which the unit tests link for the default
# package) and the compiled resources (the benchmark's do-nothing program
# carries them). The target NAME-setup builds the installer.
function(lvm_add_installer)
  cmake_parse_arguments(ARG "" "DESCRIPTION;RESULT_NAME;RESULT_EXE;VALUES_SOURCE;RESOURCES" "" ${ARGN})
  set(check ${CMAKE_SOURCE_DIR}/tools/check_package.py)
  set(tools ${check} ${CMAKE_SOURCE_DIR}/tools/make_package.py ${CMAKE_SOURCE_DIR}/tools/pe_version.py)
  # The name and the file are wanted now, for the targets; a changed
  # description configures again.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ARG_DESCRIPTION} ${tools})
  execute_process(COMMAND ${Python3_EXECUTABLE} ${check} describe ${ARG_DESCRIPTION}
    OUTPUT_VARIABLE described ERROR_VARIABLE problem RESULT_VARIABLE failed
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_STRIP_TRAILING_WHITESPACE)
  if(failed)
    # The tool's line as it is: FATAL_ERROR would wrap it in CMake's location
    # and call stack, so it only stops the configuration.
    message(NOTICE "${problem}")
    message(FATAL_ERROR "the package description is refused (the line above)")
  endif()
  string(REPLACE "\n" ";" described "${described}")
  list(GET described 0 name)
  list(LENGTH described fields)
  set(package_file "")
  if(fields GREATER 1)
    list(GET described 1 package_file)
    # A package file removed or made unreadable after this configuration
    # configures again, and is refused in the tool's words, before make
    # finds a rule missing for it.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${package_file})
  endif()

  set(out ${CMAKE_BINARY_DIR}/package/${name})
  set(values ${out}/package_values.cpp)
  set(package_res ${out}/package.res)
  add_custom_command(OUTPUT ${values} ${out}/version.rc ${package_res}
    COMMAND ${Python3_EXECUTABLE} ${check} generate ${ARG_DESCRIPTION} ${out}
    DEPENDS ${ARG_DESCRIPTION} ${package_file} ${tools}
    COMMENT "Checking the package of ${ARG_DESCRIPTION}"
    VERBATIM)

  # The resource script (manifest, version resource) is compiled to a .res,
  # the package's entries are appended, and the whole becomes one object:
  # the resource compiler cannot name a type that begins with a digit (3bs).
  string(SUBSTRING ${name} 0 1 first)
  string(SUBSTRING ${name} 1 -1 rest)
  string(TOUPPER ${first} first)
  set(LVM_MANIFEST_NAME "${first}${rest}")
  set(LVM_MANIFEST_FILE ${out}/setup.manifest)
  set(LVM_VERSION_RC ${out}/version.rc)
  configure_file(${CMAKE_SOURCE_DIR}/src/res/setup.manifest.in ${LVM_MANIFEST_FILE} @ONLY)
  configure_file(${CMAKE_SOURCE_DIR}/src/res/setup.rc.in ${out}/setup.rc @ONLY)
  set(resources ${out}/setup-resources.o)
  add_custom_command(OUTPUT ${resources}
    COMMAND ${CMAKE_RC_COMPILER} -O res -i ${out}/setup.rc -o ${out}/setup-base.res
    COMMAND ${Python3_EXECUTABLE} ${check} join ${out}/setup-base.res ${package_res} ${out}/setup.res
    COMMAND ${CMAKE_RC_COMPILER} -J res -O coff -i ${out}/setup.res -o ${resources}
    DEPENDS ${out}/setup.rc ${out}/version.rc ${LVM_MANIFEST_FILE} ${package_res} ${check}
    COMMENT "Compiling the resources of ${name}-setup.exe"
    VERBATIM)

  set(unstamped ${name}-setup-unstamped)
  add_executable(${unstamped} WIN32 ${CMAKE_SOURCE_DIR}/src/update/main.cpp ${values} ${resources})
  set_source_files_properties(${resources} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
  set_target_properties(${unstamped} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/unstamped
    OUTPUT_NAME ${name}-setup)
  target_compile_options(${unstamped} PRIVATE ${LVM_WARNINGS})
  target_link_libraries(${unstamped} PRIVATE lvm0core)
  # The shipped file carries no symbol table (it would trail the last section).
  target_link_options(${unstamped} PRIVATE -s)
  # Reproducible: the PE header's time stamp is the commit's (CMakeLists.txt).
  add_dependencies(${unstamped} lvm_source_date)
  set_target_properties(${unstamped} PROPERTIES
    RULE_LAUNCH_LINK "sh ${CMAKE_SOURCE_DIR}/cmake/link-at-source-date.sh ${LVM_SOURCE_DATE_FILE}"
    LINK_DEPENDS ${LVM_SOURCE_DATE_FILE})

  # The shipped file is the linked one with its self-check reference stamped in.
  set(exe ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${name}-setup.exe)
  add_custom_command(OUTPUT ${exe}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/stamp_selfcheck.py
            $<TARGET_FILE:${unstamped}> ${exe}
    COMMAND ${CMAKE_COMMAND} -E echo_append "SHA-256 of the ${CMAKE_SYSTEM_PROCESSOR} ${name}-setup.exe: "
    COMMAND ${CMAKE_COMMAND} -E sha256sum ${exe}
    DEPENDS ${unstamped} ${CMAKE_SOURCE_DIR}/tools/stamp_selfcheck.py
    COMMENT "Stamping the self-check reference into ${name}-setup.exe"
    VERBATIM)
  add_custom_target(${name}-setup ALL DEPENDS ${exe})

  if(ARG_RESULT_NAME)
    set(${ARG_RESULT_NAME} ${name} PARENT_SCOPE)
  endif()
  if(ARG_RESULT_EXE)
    set(${ARG_RESULT_EXE} ${exe} PARENT_SCOPE)
  endif()
  if(ARG_RESOURCES)
    set(${ARG_RESOURCES} ${resources} PARENT_SCOPE)
  endif()
  if(ARG_VALUES_SOURCE)
    set(${ARG_VALUES_SOURCE} ${values} PARENT_SCOPE)
  endif()
endfunction()
