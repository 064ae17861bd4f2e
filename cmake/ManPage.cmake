# fx_man_page(NAME SECTION): compresses data/NAME.SECTION of the calling
# folder with gzip -n (the same file from build to build) and installs it
# in the manual's section.
function(fx_man_page name section)
  if(WIN32)
    return()
  endif()
  set(page ${name}.${section})
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${page}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/data/${page} ${page}
    COMMAND gzip -9nf ${page}
    DEPENDS data/${page}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    COMMENT "Compressing the manual page ${page}")
  add_custom_target(${name}_man ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/${page}.gz)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endfunction()
