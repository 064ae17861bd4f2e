# The layering rule, checked on the sources as text (cmake -DTOP=... -P):
# - an engine folder includes only from its own layer and the ones below it;
# - the engine never includes the program or the tools;
# - only platform twins (*_posix, *_x11, *_glx, *_w32) include platform headers.
set(layers base package math image render geometry anim scene gadgets)
set(platform_headers "X11/|GL/glx|GL/wgl|windows\\.h|unistd\\.h|sys/|dlfcn\\.h|pthread\\.h|fcntl\\.h|poll\\.h|signal\\.h|dirent\\.h|ddraw\\.h")

file(GLOB_RECURSE sources RELATIVE "${TOP}"
     "${TOP}/engine/*.h" "${TOP}/engine/*.cpp" "${TOP}/app/*.h" "${TOP}/app/*.cpp"
     "${TOP}/tools/*.h" "${TOP}/tools/*.cpp")
set(faults "")
foreach(src IN LISTS sources)
  file(STRINGS "${TOP}/${src}" includes REGEX "^[ \t]*#[ \t]*include")
  string(REGEX MATCH "^engine/([a-z]+)/" in_engine "${src}")
  set(own -1)
  if(in_engine)
    list(FIND layers "${CMAKE_MATCH_1}" own)
    if(own EQUAL -1)
      list(APPEND faults "${src}: engine folder ${CMAKE_MATCH_1} is not in the layer order")
    endif()
  endif()
  string(REGEX MATCH "_(posix|x11|glx|w32)\\.(h|cpp)$" twin "${src}")
  foreach(line IN LISTS includes)
    if(NOT twin AND line MATCHES "<(${platform_headers})")
      list(APPEND faults "${src}: platform header in a portable file: ${line}")
    endif()
    if(in_engine AND line MATCHES "\"(\\.\\./)?(app|tools)/")
      list(APPEND faults "${src}: the engine includes the program: ${line}")
    endif()
    if(in_engine AND line MATCHES "\"(\\.\\./)?([a-z]+)/[^\"]+\"")
      list(FIND layers "${CMAKE_MATCH_2}" used)
      if(used GREATER own)
        list(APPEND faults "${src}: includes a higher layer: ${line}")
      endif()
    endif()
  endforeach()
endforeach()

list(LENGTH sources count)
if(faults)
  string(REPLACE ";" "\n  " text "${faults}")
  message(FATAL_ERROR "layering: ${text}")
endif()
message(STATUS "layering: ${count} files follow the layer order")
