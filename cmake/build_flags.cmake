# Compiler flags every target of ours takes, as one INTERFACE target:
# warnings as errors, and the sanitizers when VOSTREL_SANITIZE is on.
add_library(vostrel_warnings INTERFACE)
if(MSVC)
  target_compile_options(vostrel_warnings INTERFACE /W4 /WX /permissive-)
else()
  target_compile_options(vostrel_warnings INTERFACE -Wall -Wextra -Wpedantic -Werror)
endif()

add_library(vostrel_sanitizers INTERFACE)
if(VOSTREL_SANITIZE)
  if(MSVC)
    target_compile_options(vostrel_sanitizers INTERFACE /fsanitize=address)
  else()
    set(sanitize_flags -fsanitize=address,undefined -fno-sanitize-recover=all)
    target_compile_options(vostrel_sanitizers INTERFACE ${sanitize_flags} -fno-omit-frame-pointer)
    target_link_options(vostrel_sanitizers INTERFACE ${sanitize_flags})
  endif()
endif()

# Fuzz targets need every library instrumented for libFuzzer (clang only).
option(VOSTREL_FUZZ "Build the libFuzzer targets of tests/fuzz (clang)" OFF)
if(VOSTREL_FUZZ)
  target_compile_options(vostrel_sanitizers INTERFACE -fsanitize=fuzzer-no-link,address,undefined
    -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(vostrel_sanitizers INTERFACE -fsanitize=address,undefined)
endif()

add_library(vostrel_build_flags INTERFACE)
target_link_libraries(vostrel_build_flags INTERFACE vostrel_warnings vostrel_sanitizers)
