# Installation and packages: every command (each executable whose name begins with
# "Quorvel"), the README and the pages it links to, the example, and on Linux a manual page for
# each command from doc/man. `cpack` makes a Debian package on Linux and a .zip on Windows.
include(GNUInstallDirs)

# The executables named Quorvel* of `folder` and every folder below it.
function(quorvel_find_commands folder result)
  set(commands)
  get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE" AND target MATCHES "^Quorvel")
      list(APPEND commands ${target})
    endif()
  endforeach()
  get_property(subfolders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
  foreach(subfolder IN LISTS subfolders)
    quorvel_find_commands(${subfolder} below)
    list(APPEND commands ${below})
  endforeach()
  set(${result} ${commands} PARENT_SCOPE)
endfunction()
quorvel_find_commands(${CMAKE_SOURCE_DIR} QUORVEL_COMMANDS)
list(SORT QUORVEL_COMMANDS)

if(WIN32)
  # The .zip unpacks into one folder: the programs in bin, the README beside bin.
  set(QUORVEL_DOC_DIR .)
else()
  # Named after the package, as Debian keeps documentation.
  set(QUORVEL_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/quorvel)
endif()
install(TARGETS ${QUORVEL_COMMANDS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md DESTINATION ${QUORVEL_DOC_DIR})
# The pages the README links to, in doc/ beside it as in the sources.
file(GLOB QUORVEL_DOC_PAGES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/doc/*.md)
install(FILES ${QUORVEL_DOC_PAGES} DESTINATION ${QUORVEL_DOC_DIR}/doc)
install(DIRECTORY examples DESTINATION ${QUORVEL_DOC_DIR})

if(NOT WIN32)
  # Manual pages, compressed as Debian keeps them; every command must have one.
  set(pages)
  foreach(command IN LISTS QUORVEL_COMMANDS)
    set(page ${CMAKE_SOURCE_DIR}/doc/man/${command}.1)
    if(NOT EXISTS ${page})
      message(FATAL_ERROR "${command} has no manual page doc/man/${command}.1")
    endif()
    set(compressed ${CMAKE_BINARY_DIR}/man/${command}.1.gz)
    add_custom_command(OUTPUT ${compressed}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
                       COMMAND gzip -9n < ${page} > ${compressed}
                       DEPENDS ${page} VERBATIM)
    list(APPEND pages ${compressed})
  endforeach()
  add_custom_target(manual_pages ALL DEPENDS ${pages})
  install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "Quorvel developers")
set(CPACK_PACKAGE_CONTACT "Quorvel developers <quorvel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Batch renaming of CAD product structures from a control file")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_README ${CMAKE_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME quorvel-${PROJECT_VERSION}-windows-x86_64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Quorvel renames the component instances, part numbers and files of a CAD\n\
product structure as a control file says, and logs every step. Its companions\n\
check a control file before a run and show a structure. This package runs on\n\
the stand-in for the CAD platform, so control files can be rehearsed on models.")
  find_program(QUORVEL_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(QUORVEL_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
  endif()
endif()
include(CPack)
