# cmake -DROOT=<src folder, absolute> -P scan_includes.cmake
# Fails naming every include that escapes the layering the include roots
# cannot stop: a relative one ("../x.h", "./x.h"), which the compiler looks
# up beside the including file, and an engine internal in a front end (app,
# cli), which may use the engine's public headers only.
cmake_minimum_required(VERSION 3.25)
set(engine_internals engine/parallel_phases.h engine/run_setup.h engine/writing_phase.h)
file(GLOB_RECURSE sources RELATIVE ${ROOT} ${ROOT}/*.cpp ${ROOT}/*.h ${ROOT}/*.in)
set(faults "")
foreach(source IN LISTS sources)
  file(STRINGS ${ROOT}/${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  string(REGEX MATCH "^[^/]+" folder ${source})
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" header "${line}")
    if(header MATCHES "^\\.\\.?/" OR header MATCHES "/\\.\\./")
      list(APPEND faults "${source}: #include \"${header}\" is relative: name it from its layer's folder")
    elseif(folder MATCHES "^(app|cli)$" AND header IN_LIST engine_internals)
      list(APPEND faults "${source}: #include \"${header}\" is internal to the engine: use its public headers")
    endif()
  endforeach()
endforeach()
if(faults)
  list(JOIN faults "\n" text)
  message(FATAL_ERROR "${text}")
endif()
list(LENGTH sources count)
message(STATUS "${count} files keep to their includes")
