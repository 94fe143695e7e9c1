# GoogleTest for the Windows build: compiled from Debian's googletest
# sources with the cross compiler, since no Windows binaries are packaged.
# It defines the GTest:: targets itself.
set(VOSTREL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${VOSTREL_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${VOSTREL_GOOGLETEST_SOURCE} (package googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${VOSTREL_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(library gtest gtest_main gmock gmock_main)
  # Its code is not held to this project's warnings-as-errors.
  set_target_properties(${library} PROPERTIES COMPILE_OPTIONS "")
endforeach()
