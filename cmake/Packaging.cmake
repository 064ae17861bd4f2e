# The Debian package: `cpack -G DEB` in a build configured with
# -DCMAKE_INSTALL_PREFIX=/usr (scripts/build-deb.sh does all of it). It holds
# what `cmake --install` lays out under /usr, without the demo-content
# builder, plus the copyright file and changelog Debian asks for.
#
# The prefix is built into the program (where it finds the demo content) and
# into the desktop entry, so a package made from a build for another prefix
# would look in the wrong place: cpack refuses to make one.
if(WIN32 OR NOT TARGET velmira)
  return()
endif()
if(CMAKE_VERSION VERSION_LESS 3.19)
  message(STATUS "Debian package: needs CMake 3.19 or later (its pre-build step)")
  return()
endif()

# The changelog and copyright the package documents itself with: Debian's
# own files, so the package gets them, not every `cmake --install`.
set(FX_DEB_DIR ${PROJECT_BINARY_DIR}/debian)
# velmira_VERSION-REVISION_amd64.deb: the project's version and the
# packaging's own revision, which a new package of the same release raises.
set(FX_DEB_REVISION 1 CACHE STRING "Debian revision of the package")
set(FX_DEB_MAINTAINER "Velmira maintainers <maintainers@users.noreply.c-seed-6b4e1b23.example>")
# A new release or revision adds its entry on top; the newest entry names
# the version the package gets from the project.
file(CONFIGURE OUTPUT ${FX_DEB_DIR}/changelog.Debian @ONLY CONTENT
"velmira (@PROJECT_VERSION@-@FX_DEB_REVISION@) unstable; urgency=medium

  * First Debian package: the XScreenSaver hack with its settings file,
    desktop entry, manual page and demo content, and the fxpack tool.

 -- @FX_DEB_MAINTAINER@  Mon, 07 Dec 2026 04:00:00 +0000
")
file(CONFIGURE OUTPUT ${FX_DEB_DIR}/copyright @ONLY CONTENT
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Velmira
Upstream-Contact: @FX_DEB_MAINTAINER@

Files: *
Copyright: 2026 The Velmira developers
License: Velmira
Comment: The demo content (usr/share/velmira/xxdata.dat) is drawn by the
 project's own builder; the text in its pictures is rendered with the
 DejaVu fonts, which the package uses from fonts-dejavu-core and does not
 include.

License: Velmira
 All rights reserved. No licence to copy, modify or redistribute this
 software has been granted yet.
")
file(CONFIGURE OUTPUT ${FX_DEB_DIR}/overrides/${PROJECT_NAME} @ONLY CONTENT
"# Not part of Debian: no ITP bug to close.
velmira: initial-upload-closes-no-bugs
")
# Before packing: check the prefix, add Debian's files, and leave out the
# demo-content builder. Its one product, the demo package, is in the package
# already; fxpack, which builds packages from one's own pictures, models and
# scenes, stays.
set(FX_DEB_PREBUILD ${FX_DEB_DIR}/prebuild.cmake)
file(WRITE ${FX_DEB_PREBUILD} [=[
if(NOT CPACK_FX_BUILT_PREFIX STREQUAL CPACK_PACKAGING_INSTALL_PREFIX)
  message(FATAL_ERROR "This build is for the prefix ${CPACK_FX_BUILT_PREFIX}; "
    "a Debian package needs one configured with "
    "-DCMAKE_INSTALL_PREFIX=${CPACK_PACKAGING_INSTALL_PREFIX} (scripts/build-deb.sh)")
endif()
set(root ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
set(doc ${root}/share/doc/${CPACK_PACKAGE_NAME})
set(mode FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(COPY ${CPACK_FX_DEB_DIR}/copyright DESTINATION ${doc} ${mode})
file(COPY ${CPACK_FX_DEB_DIR}/overrides/${CPACK_PACKAGE_NAME} DESTINATION ${root}/share/lintian/overrides ${mode})
# gzip -n: no name or time stamp in the header, so the same sources give the
# same package.
execute_process(COMMAND gzip -9n -c ${CPACK_FX_DEB_DIR}/changelog.Debian
  OUTPUT_FILE ${doc}/changelog.Debian.gz RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "gzip failed on the changelog")
endif()
file(CHMOD ${doc}/changelog.Debian.gz PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(REMOVE ${root}/bin/velmira-content)
# The compiler's notes that CMake's strip leaves, as Debian's own builds drop them.
foreach(program ${root}/bin/fxpack ${root}/libexec/xscreensaver/velmira)
  execute_process(COMMAND ${CPACK_FX_OBJCOPY} --remove-section=.comment ${program}
    RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "objcopy failed on ${program}")
  endif()
endforeach()
]=])

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "The Velmira developers")
set(CPACK_PACKAGE_CONTACT ${FX_DEB_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "animated OpenGL photo show screen saver for XScreenSaver")
set(CPACK_PACKAGE_DESCRIPTION
"Velmira plays an animated OpenGL photo show of one model. It darkens the
desktop and plays photo sets of sprite movies with soft shadows, bubbles
with rising captions, translucent billboards, a thumbnail gallery, a 3D
scene and an animated 3D model, all loaded from one data package.

This package holds the hack for XScreenSaver with its settings file, a
desktop entry for other screen-saver front ends, demo content to show, and
fxpack, the tool that lists, builds and verifies data packages and turns
pictures, OBJ models and scene descriptions into their records.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_FX_BUILT_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_FX_OBJCOPY ${CMAKE_OBJCOPY})
set(CPACK_FX_DEB_DIR ${FX_DEB_DIR})
set(CPACK_PRE_BUILD_SCRIPTS ${FX_DEB_PREBUILD})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_RELEASE ${FX_DEB_REVISION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps finds the linked libraries (C++ runtime, X11, GL, GLU,
# FreeType); DevIL is opened at run time, and the text is drawn in DejaVu.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libdevil1c2, fonts-dejavu-core")
# As Debian's own hack packages do: other front ends run the hack through
# its desktop entry, and it runs on its own too.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS xscreensaver)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
