# Run by CPack on the staged .deb tree before it is packed: Debian wants
# manual pages and the changelog compressed, without a name or time stamp
# inside, while a plain install keeps them readable as they are.
file(GLOB_RECURSE documents
  ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/man/man1/*.1
  ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/doc/vostrelcl/changelog)
foreach(document ${documents})
  execute_process(COMMAND gzip -9n ${document} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
