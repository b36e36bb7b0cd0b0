# What `cmake --install` puts where, under any prefix: the programs, the libraries the host
# loads (and the conduit's help page beside them), the sample handheld and sync folder,
# manual pages made from the programs' --help, the systemd user unit, udev rules and bash
# completion. cmake/package.cmake makes the Debian package from the same rules.

set(LUMORA_SYSTEMD_USER_UNIT_DIR "lib/systemd/user" CACHE STRING
    "Where the systemd user unit goes, relative to the prefix (share/systemd/user for ~/.local)")
set(LUMORA_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING
    "Where udev rules go, relative to the prefix")
set(LUMORA_BASH_COMPLETION_DIR "${CMAKE_INSTALL_DATADIR}/bash-completion/completions" CACHE STRING
    "Where bash completion goes, relative to the prefix")

set(lumora_programs)
foreach(program lumora-hotsync lumora-handheld lumora-bitmap lumora-font)
  if(TARGET ${program})
    list(APPEND lumora_programs ${program})
  endif()
endforeach()
set(lumora_libraries)
foreach(library hotsync lumsync lumprep)
  if(TARGET ${library})
    list(APPEND lumora_libraries ${library})
  endif()
endforeach()

# Installed programs find the installed libraries beside them in lib/ or the multiarch
# folder; the libraries find each other in their own folder.
set(lumora_program_rpath "$ORIGIN/../lib")
if(CMAKE_LIBRARY_ARCHITECTURE)
  list(APPEND lumora_program_rpath "$ORIGIN/../lib/${CMAKE_LIBRARY_ARCHITECTURE}")
endif()
if(NOT IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  list(APPEND lumora_program_rpath "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
endif()
list(REMOVE_DUPLICATES lumora_program_rpath)
set_target_properties(${lumora_programs} PROPERTIES INSTALL_RPATH "${lumora_program_rpath}")
set_target_properties(${lumora_libraries} PROPERTIES INSTALL_RPATH "$ORIGIN")

install(TARGETS ${lumora_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS ${lumora_libraries} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
if(TARGET lumora_help_page)
  install(FILES ${CMAKE_LIBRARY_OUTPUT_DIRECTORY}/hotsync.html
          DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
install(DIRECTORY ${CMAKE_SOURCE_DIR}/samples/handheld ${CMAKE_SOURCE_DIR}/samples/sync
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lumora/samples)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lumora-desktop)

# The user unit names the installed program by its full path, known only at install time
# (a package is installed under another prefix than the build's).
set(lumora_unit ${CMAKE_BINARY_DIR}/packaging/lumora-hotsync.service)
install(CODE "
  file(READ \"${CMAKE_SOURCE_DIR}/packaging/systemd/lumora-hotsync.service.in\" unit)
  string(REPLACE \"@LUMORA_BINDIR@\" \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\" unit \"\${unit}\")
  file(WRITE \"${lumora_unit}\" \"\${unit}\")")
install(FILES ${lumora_unit} DESTINATION ${LUMORA_SYSTEMD_USER_UNIT_DIR})

# The udev rules that let the desktop user reach a handheld's USB device, when present.
file(GLOB lumora_udev_rules ${CMAKE_SOURCE_DIR}/packaging/udev/*.rules)
if(lumora_udev_rules)
  install(FILES ${lumora_udev_rules} DESTINATION ${LUMORA_UDEV_RULES_DIR})
endif()

# bash-completion loads a completion by the command's name: one file, a link per program.
set(lumora_completion_dir ${CMAKE_BINARY_DIR}/packaging/bash-completion)
file(MAKE_DIRECTORY ${lumora_completion_dir})
configure_file(${CMAKE_SOURCE_DIR}/packaging/bash-completion/lumora
               ${lumora_completion_dir}/lumora-hotsync COPYONLY)
set(lumora_completions ${lumora_completion_dir}/lumora-hotsync)
foreach(program lumora-handheld lumora-bitmap lumora-font)
  file(CREATE_LINK lumora-hotsync ${lumora_completion_dir}/${program} SYMBOLIC)
  list(APPEND lumora_completions ${lumora_completion_dir}/${program})
endforeach()
install(FILES ${lumora_completions} DESTINATION ${LUMORA_BASH_COMPLETION_DIR})

# Manual pages from each program's --help and --version, gzipped as Debian wants them.
find_program(LUMORA_HELP2MAN help2man)
find_program(LUMORA_GZIP gzip)
if(LUMORA_HELP2MAN AND LUMORA_GZIP AND NOT CMAKE_CROSSCOMPILING)
  set(lumora-hotsync_summary "stand-in HotSync Manager and HotSync service for Palm OS handhelds")
  set(lumora-handheld_summary "simulated Palm OS handheld that HotSyncs over the network or a serial line")
  set(lumora-bitmap_summary "convert between .bmp files and Palm OS handheld bitmaps")
  set(lumora-font_summary "convert TrueType fonts into Palm OS handheld font databases")
  set(lumora_pages)
  foreach(program ${lumora_programs})
    set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
    # Sections --help has no room for.
    set(include ${CMAKE_SOURCE_DIR}/packaging/man/${program}.h2m)
    set(include_option)
    set(include_file)
    if(EXISTS ${include})
      set(include_option --include=${include})
      set(include_file ${include})
    endif()
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${LUMORA_HELP2MAN} --no-info --section=1 "--name=${${program}_summary}"
              ${include_option} --output=${page} $<TARGET_FILE:${program}>
      COMMAND ${LUMORA_GZIP} -9nf ${page}
      DEPENDS ${program} ${include_file}
      COMMENT "Manual page of ${program}"
      VERBATIM)
    list(APPEND lumora_pages ${page}.gz)
  endforeach()
  add_custom_target(lumora_manual_pages ALL DEPENDS ${lumora_pages})
  install(FILES ${lumora_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 OPTIONAL)
else()
  message(STATUS "help2man or gzip not found (or cross-compiling): no manual pages")
endif()
