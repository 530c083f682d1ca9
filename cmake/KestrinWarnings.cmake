# One INTERFACE target carries the warning and sanitizer flags into every target.
add_library(kestrin_warnings INTERFACE)
add_library(kestrin::warnings ALIAS kestrin_warnings)
target_compile_options(kestrin_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
if(KESTRIN_SANITIZE)
  target_compile_options(kestrin_warnings INTERFACE -fsanitize=${KESTRIN_SANITIZE} -fno-omit-frame-pointer)
  target_link_options(kestrin_warnings INTERFACE -fsanitize=${KESTRIN_SANITIZE})
  # No load-time version picking (numerics/Vectorise.h) under a sanitizer.
  target_compile_definitions(kestrin_warnings INTERFACE KSN_SANITIZED=1)
endif()

# kestrin_add_library(name alias SOURCES ... DEPS ...)
function(kestrin_add_library name alias)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  add_library(kestrin::${alias} ALIAS ${name})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE kestrin::warnings)
endfunction()
