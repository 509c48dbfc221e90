# Fails the build when a source includes a header of a layer it may not use.
# Each folder lists the folders it may include from; the layers point one
# way only: engine <- devices, recording, persistence <- app <- ui, with
# platform beneath all and platform/scripted for tests alone.
# Run as: cmake -DSOURCE_DIR=... -DSTAMP=... -P check_layers.cmake

cmake_minimum_required(VERSION 3.25)

set(allowed_engine engine)
set(allowed_platform platform)
set(allowed_devices devices engine platform)
set(allowed_recording recording engine platform)
set(allowed_persistence persistence engine platform)
set(allowed_update update platform)
set(allowed_app app devices recording persistence update engine platform)
set(allowed_ui ui app devices recording persistence update engine platform)
set(allowed_tools tools app devices recording persistence update engine platform)
set(allowed_bench bench tools ui app devices recording persistence update engine platform)

set(violations "")
foreach(layer engine platform devices recording persistence update app ui tools bench)
  file(GLOB_RECURSE sources "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.cpp")
  foreach(source ${sources})
    file(RELATIVE_PATH relative "${SOURCE_DIR}" "${source}")
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+\"")
    foreach(line ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" header "${line}")
      if(NOT header MATCHES "/")
        continue()
      endif()
      string(REGEX REPLACE "/.*" "" target_layer "${header}")
      set(ok FALSE)
      if(target_layer IN_LIST allowed_${layer})
        set(ok TRUE)
      endif()
      # The scripted platform stands in for the operating system in tests only.
      if(header MATCHES "^platform/scripted/" AND NOT relative MATCHES "^platform/scripted/")
        set(ok FALSE)
      endif()
      if(NOT ok)
        string(APPEND violations "  ${relative} includes \"${header}\"\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  message(FATAL_ERROR "Includes that run against the layers:\n${violations}")
endif()
file(TOUCH "${STAMP}")
