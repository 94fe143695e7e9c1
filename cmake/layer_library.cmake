# vostrel_layer(NAME SOURCES... [BELOW lower-layer targets...])
# A static library of one folder. Its headers are included by bare file name;
# the folder is its only include directory, and it reaches the headers of the
# layers named BELOW (and, through them, theirs) and nothing else, so an
# include of a higher layer's header fails to compile.
function(vostrel_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 layer "" "" "BELOW")
  add_library(${name} STATIC ${layer_UNPARSED_ARGUMENTS})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${layer_BELOW} PRIVATE vostrel_build_flags)
endfunction()
