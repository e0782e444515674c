# The fuzzing build (-DTESSIVO_FUZZ=ON, CMAKE_CXX_COMPILER=clang++): every
# object is instrumented for libFuzzer's coverage and checked by AddressSanitizer
# and UndefinedBehaviorSanitizer; any report aborts, so the fuzzer keeps the input.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "TESSIVO_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++")
endif()
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "" FORCE)
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                    -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)

# What bench/fuzz.sh runs: one line per harness, "name<TAB>program<TAB>seed
# corpus<TAB>dictionary" (the dictionary may be empty).
set(TESSIVO_FUZZER_LIST ${CMAKE_BINARY_DIR}/fuzzers.txt)
file(WRITE ${TESSIVO_FUZZER_LIST} "")

# tessivo_add_fuzzer(name SOURCES file... [LIBS target...] [CORPUS dir] [DICT file])
#
# Builds the harness <name>_fuzz into <build>/fuzzers/. Paths are relative to
# the repository's root. The seed corpus defaults to fuzz/corpus/<name>/, the
# dictionary to fuzz/dict/<name>.dict when that file exists.
function(tessivo_add_fuzzer name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "CORPUS;DICT" "SOURCES;LIBS")
  if(NOT arg_SOURCES)
    message(FATAL_ERROR "tessivo_add_fuzzer(${name}): no SOURCES")
  endif()
  set(sources)
  foreach(source IN LISTS arg_SOURCES)
    get_filename_component(source ${source} ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
    list(APPEND sources ${source})
  endforeach()
  if(NOT arg_CORPUS)
    set(arg_CORPUS fuzz/corpus/${name})
  endif()
  get_filename_component(corpus ${arg_CORPUS} ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
  if(NOT IS_DIRECTORY ${corpus})
    message(FATAL_ERROR "tessivo_add_fuzzer(${name}): no seed corpus ${corpus}")
  endif()
  set(dict "")
  if(arg_DICT)
    get_filename_component(dict ${arg_DICT} ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
  elseif(EXISTS ${PROJECT_SOURCE_DIR}/fuzz/dict/${name}.dict)
    set(dict ${PROJECT_SOURCE_DIR}/fuzz/dict/${name}.dict)
  endif()

  add_executable(${name}_fuzz ${sources})
  target_include_directories(${name}_fuzz PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name}_fuzz PRIVATE ${arg_LIBS})
  target_link_options(${name}_fuzz PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name}_fuzz PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzzers)
  file(APPEND ${TESSIVO_FUZZER_LIST} "${name}\t${CMAKE_BINARY_DIR}/fuzzers/${name}_fuzz\t${corpus}\t${dict}\n")
endfunction()
