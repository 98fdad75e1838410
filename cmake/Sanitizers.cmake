# OTDR_SANITIZE applies to every target of the build, libraries and tests alike.
if(OTDR_SANITIZE)
  set(_flags "")
  foreach(s IN LISTS OTDR_SANITIZE)
    list(APPEND _flags "-fsanitize=${s}")
  endforeach()
  list(APPEND _flags -fno-omit-frame-pointer -g)
  if("undefined" IN_LIST OTDR_SANITIZE)
    list(APPEND _flags -fno-sanitize-recover=all)
  endif()
  add_compile_options(${_flags})
  add_link_options(${_flags})
endif()

# A fuzz build instruments every target for libFuzzer's coverage; the fuzz
# targets themselves link libFuzzer (fuzz/CMakeLists.txt).
if(OTDR_BUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "OTDR_BUILD_FUZZ needs clang (CC=clang CXX=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
