# bindwick_man_page(<program target> <page source>)
# Fills in the version of a man page source (section 1, "<name>.1.in"),
# compresses it as Debian wants it and installs it with the program's
# component. The source's path is kept in the program's BINDWICK_MAN_PAGE
# property for the test that compares the page's options with --help.
function(bindwick_man_page program source)
  include(GNUInstallDirs)
  get_filename_component(source ${source} ABSOLUTE)
  get_filename_component(page ${source} NAME_WLE)
  set(configured ${CMAKE_CURRENT_BINARY_DIR}/${page})
  configure_file(${source} ${configured} @ONLY)
  add_custom_command(OUTPUT ${configured}.gz
    COMMAND gzip -9nc ${configured} > ${configured}.gz
    DEPENDS ${configured}
    COMMENT "Compressing the man page ${page}")
  add_custom_target(${program}_man_page ALL DEPENDS ${configured}.gz)
  set_target_properties(${program} PROPERTIES BINDWICK_MAN_PAGE ${source})
  install(FILES ${configured}.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT bindwick)
endfunction()
