# What `cmake --install` lays out, and the Debian package that CPack makes of it.
include(GNUInstallDirs)

# The package's own name is lower case, as package names must be; the program
# keeps its name.
set(lumarind_docdir "${CMAKE_INSTALL_DATAROOTDIR}/doc/lumarind")

# `cmake --install` strips a Release build's programs as the package does, as
# if --strip were given; a Debug build's keep their symbols.
install(CODE [[
if(NOT DEFINED CMAKE_INSTALL_DO_STRIP AND CMAKE_INSTALL_CONFIG_NAME STREQUAL "Release")
    set(CMAKE_INSTALL_DO_STRIP ON)
endif()
]])
install(TARGETS Lumarind lumarind-svg lumarind-cfg RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")

# Manual pages and a native package's changelog ship compressed. -n keeps the
# name and time stamp out of the gzip header, so the same text always gives
# the same bytes. Without gzip the file goes as it is.
find_program(LUMARIND_GZIP gzip)
function(lumarind_install_gzipped source destination)
    get_filename_component(name "${source}" NAME)
    if(NOT LUMARIND_GZIP)
        install(FILES "${source}" DESTINATION "${destination}")
        return()
    endif()
    set(copy "${PROJECT_BINARY_DIR}/gzipped/${name}")
    add_custom_command(
        OUTPUT "${copy}.gz"
        COMMAND "${CMAKE_COMMAND}" -E copy "${source}" "${copy}"
        COMMAND "${LUMARIND_GZIP}" -n -9 -f "${copy}"
        DEPENDS "${source}"
        COMMENT "Compressing ${name}"
        VERBATIM
    )
    add_custom_target(lumarind_gzip_${name} ALL DEPENDS "${copy}.gz")
    install(FILES "${copy}.gz" DESTINATION "${destination}")
endfunction()

lumarind_install_gzipped("${PROJECT_SOURCE_DIR}/doc/Lumarind.1" "${CMAKE_INSTALL_MANDIR}/man1")
lumarind_install_gzipped("${PROJECT_SOURCE_DIR}/doc/lumarind-svg.1" "${CMAKE_INSTALL_MANDIR}/man1")
lumarind_install_gzipped("${PROJECT_SOURCE_DIR}/doc/lumarind-cfg.1" "${CMAKE_INSTALL_MANDIR}/man1")

# The copyright file in Debian's machine-readable form: the frame from packaging/,
# the licence's wording from LICENSE (from its first "Permission"), so that the
# two cannot differ. Each line of a field's text starts with a blank, an empty
# one is " .".
set(lumarind_license "${PROJECT_SOURCE_DIR}/LICENSE")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${lumarind_license}")
file(READ "${lumarind_license}" LUMARIND_LICENSE_TEXT)
string(FIND "${LUMARIND_LICENSE_TEXT}" "Permission" lumarind_at)
if(lumarind_at LESS 0)
    message(FATAL_ERROR "LICENSE holds no permission notice")
endif()
string(SUBSTRING "${LUMARIND_LICENSE_TEXT}" ${lumarind_at} -1 LUMARIND_LICENSE_TEXT)
string(STRIP "${LUMARIND_LICENSE_TEXT}" LUMARIND_LICENSE_TEXT)
string(REGEX REPLACE "\n\n" "\n.\n" LUMARIND_LICENSE_TEXT "${LUMARIND_LICENSE_TEXT}")
string(REPLACE "\n" "\n " LUMARIND_LICENSE_TEXT " ${LUMARIND_LICENSE_TEXT}")
configure_file("${PROJECT_SOURCE_DIR}/packaging/copyright.in"
               "${PROJECT_BINARY_DIR}/packaging/copyright" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/packaging/copyright" DESTINATION "${lumarind_docdir}")

lumarind_install_gzipped("${PROJECT_SOURCE_DIR}/packaging/changelog" "${lumarind_docdir}")

# Byte for byte: the examples' CR LF line ends are what the program reads. Listed
# by name, so that a PCB file converted in the folder is not shipped with them.
set(lumarind_examples README.md board.gbr setup.Cfg typical.sheet herovco_front-SilkTop.gto)
list(TRANSFORM lumarind_examples PREPEND "${PROJECT_SOURCE_DIR}/examples/")
install(FILES ${lumarind_examples} DESTINATION "${lumarind_docdir}/examples")

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "lumarind")
set(CPACK_PACKAGE_VENDOR "Lumarind developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "Lumarind developers <dev@lumarind.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Gerber RS-274-D and RS-274X to PCB layout file converter")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Lumarind converts a Gerber photoplotter file (RS-274-D, or RS-274X as\n"
    "today's CAD programs write it) into the plain-text PCB layout file of the\n"
    "VELMORA 4.0 design system: draws become line segments, arcs chains of\n"
    "chords and flashes pads, through a coordinate transformation and an\n"
    "aperture pattern table that an optional configuration file sets; what the\n"
    "layout file cannot hold is reported.\n"
    "lumarind-cfg writes the configuration from a Gerber file's own apertures\n"
    "and a code sheet of the design system's library, and proposes the sheet a\n"
    "board's layers need; lumarind-svg draws a PCB layout file as an SVG picture.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The architecture comes from dpkg, the dependencies from dpkg-shlibdeps on the
# binary as built.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# A source tarball leaves out the repository and the build trees.
set(CPACK_SOURCE_GENERATOR "TGZ")
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build/" "/build-[^/]*/")

include(CPack)
