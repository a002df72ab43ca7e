# Where Hushline's files live once installed, and the same layout inside the build tree.
#
#   bin/phonectl                     the only program a user runs
#   <libdir>/hushline/               the hosts (SpringBoard, Settings), the frameworks' library and
#                                    the phone's payload binaries (plug-in, status bar, settings bundle)
#   share/hushline/page/             the settings page with its bundled widgets
#   share/hushline/device/           the payload's read-only files, laid out as in the device root
#
# The programs find each other from their own executable through the relative paths below, so an
# installed tree (or an unpacked package) runs from wherever it is. The build tree holds the same
# two folders (build/<libdir>/hushline, build/share/hushline) as links to what was built, which is
# what lets ./run, ./test and the benchmarks use the very same lookup.
include(GNUInstallDirs)

set(HUSHLINE_PKGLIBDIR ${CMAKE_INSTALL_LIBDIR}/hushline)
set(HUSHLINE_PKGDATADIR ${CMAKE_INSTALL_DATADIR}/hushline)
file(RELATIVE_PATH HUSHLINE_BIN_TO_PKGLIB ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${HUSHLINE_PKGLIBDIR})
file(RELATIVE_PATH HUSHLINE_PKGLIB_TO_PKGDATA ${CMAKE_INSTALL_PREFIX}/${HUSHLINE_PKGLIBDIR} ${CMAKE_INSTALL_PREFIX}/${HUSHLINE_PKGDATADIR})

# phonectl is built in build/apps, so the build's library folder is where the installed
# phonectl would look from there.
cmake_path(ABSOLUTE_PATH HUSHLINE_BIN_TO_PKGLIB BASE_DIRECTORY ${CMAKE_BINARY_DIR}/apps NORMALIZE
  OUTPUT_VARIABLE HUSHLINE_BUILD_PKGLIBDIR)
cmake_path(ABSOLUTE_PATH HUSHLINE_PKGLIB_TO_PKGDATA BASE_DIRECTORY ${HUSHLINE_BUILD_PKGLIBDIR} NORMALIZE
  OUTPUT_VARIABLE HUSHLINE_BUILD_PKGDATADIR)
string(REGEX REPLACE "/$" "" HUSHLINE_BUILD_PKGLIBDIR ${HUSHLINE_BUILD_PKGLIBDIR})
string(REGEX REPLACE "/$" "" HUSHLINE_BUILD_PKGDATADIR ${HUSHLINE_BUILD_PKGDATADIR})
file(MAKE_DIRECTORY ${HUSHLINE_BUILD_PKGLIBDIR} ${HUSHLINE_BUILD_PKGDATADIR}/device)

# hushline_stage_targets(STAGE TARGET...): the target STAGE links each TARGET, once built, into
# the build's library folder under its file name, where the installed one will be.
function(hushline_stage_targets stage)
  set(commands)
  foreach(target IN LISTS ARGN)
    list(APPEND commands COMMAND ${CMAKE_COMMAND} -E create_symlink $<TARGET_FILE:${target}>
      ${HUSHLINE_BUILD_PKGLIBDIR}/$<TARGET_FILE_NAME:${target}>)
  endforeach()
  add_custom_target(${stage} ALL ${commands} DEPENDS ${ARGN} VERBATIM)
endfunction()

# hushline_stage_data(SOURCE RELATIVE): SOURCE (a file or folder of the source tree) is linked into
# the build's data folder at RELATIVE.
function(hushline_stage_data source relative)
  cmake_path(GET relative PARENT_PATH parent)
  file(MAKE_DIRECTORY ${HUSHLINE_BUILD_PKGDATADIR}/${parent})
  file(CREATE_LINK ${source} ${HUSHLINE_BUILD_PKGDATADIR}/${relative} SYMBOLIC)
endfunction()

# What the programs are told of the layout: paths relative to their own executable only.
function(hushline_layout_definitions target)
  target_compile_definitions(${target} PRIVATE
    HUSHLINE_BIN_TO_PKGLIB="${HUSHLINE_BIN_TO_PKGLIB}"
    HUSHLINE_PKGLIB_TO_PKGDATA="${HUSHLINE_PKGLIB_TO_PKGDATA}")
endfunction()
