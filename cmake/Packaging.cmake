# The Debian package, made with `cpack -G DEB` in a build folder whose
# programs are built: scripts/package makes it from a Release build of its
# own, and the package test from the build folder it runs in.
#
# Packing installs what is built and never builds anything: the install step
# does not depend on "all", so packing a build folder costs no test or
# benchmark builds. Build zorvan, zorvan-demo-server and zorvan-json first.
include(GNUInstallDirs)
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(ZORVAN_APP_ID org.zorvan.Zorvan)
set(ZORVAN_MAINTAINER "Zorvan Developers <developers@zorvan.invalid>")
set(_zorvan_packaging ${PROJECT_SOURCE_DIR}/resources/packaging)
set(_zorvan_metainfo ${_zorvan_packaging}/${ZORVAN_APP_ID}.metainfo.xml)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${_zorvan_packaging}/changelog ${_zorvan_metainfo})

# The changelog and the metainfo name the release: a version raised without
# a new entry in each would make a package that contradicts itself.
file(STRINGS ${_zorvan_packaging}/changelog _zorvan_changelog_head LIMIT_COUNT 1)
if(NOT _zorvan_changelog_head MATCHES "^zorvan \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "resources/packaging/changelog: the newest entry is not ${PROJECT_VERSION}")
endif()
file(READ ${_zorvan_metainfo} _zorvan_metainfo_text)
string(FIND "${_zorvan_metainfo_text}" "<release version=\"${PROJECT_VERSION}\"" _zorvan_release_at)
if(_zorvan_release_at EQUAL -1)
  message(FATAL_ERROR "${ZORVAN_APP_ID}.metainfo.xml: no release ${PROJECT_VERSION}")
endif()

# Debian keeps changelogs compressed at the highest level and without a time
# stamp in the gzip header, so that rebuilding gives the same bytes.
set(_zorvan_changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz)
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/packaging)
execute_process(COMMAND gzip -9 -n -c ${_zorvan_packaging}/changelog
  OUTPUT_FILE ${_zorvan_changelog_gz} RESULT_VARIABLE _zorvan_gzip_result)
if(NOT _zorvan_gzip_result EQUAL 0)
  message(FATAL_ERROR "gzip failed on resources/packaging/changelog")
endif()

# Manual pages, with the version filled in, compressed the same way.
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/packaging/man)
foreach(_zorvan_page zorvan zorvan-demo-server zorvan-json)
  set(_zorvan_page_out ${CMAKE_CURRENT_BINARY_DIR}/packaging/man/${_zorvan_page}.1)
  configure_file(${_zorvan_packaging}/man/${_zorvan_page}.1 ${_zorvan_page_out} @ONLY)
  execute_process(COMMAND gzip -9 -n -f ${_zorvan_page_out} RESULT_VARIABLE _zorvan_gzip_result)
  if(NOT _zorvan_gzip_result EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${_zorvan_page_out}")
  endif()
  install(FILES ${_zorvan_page_out}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# The package's own name for its documentation folder (CMAKE_INSTALL_DOCDIR
# would be the project's capitalised name).
set(_zorvan_docdir ${CMAKE_INSTALL_DATADIR}/doc/zorvan)
install(FILES ${_zorvan_metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${_zorvan_packaging}/copyright ${_zorvan_changelog_gz} DESTINATION ${_zorvan_docdir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zorvan)
set(CPACK_PACKAGE_VENDOR "The Zorvan developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${ZORVAN_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for networked video-surveillance servers")
# The synopsis is the summary above; this is the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Zorvan keeps a list of video-surveillance servers and shows the live
picture of a camera of the chosen one, fetched at the size of the window
and at the server's picture rate, with the sound of the camera's
microphone.
.
The package also holds zorvan-demo-server, a demo server that answers as a
real one does, so that the viewer can be tried without cameras, and
zorvan-json, a JSON validator and re-formatter.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZORVAN_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The libraries the programs link, read from the binaries by dpkg-shlibdeps.
# Qt's plugins are loaded at run time instead: the X11 platform and JPEG
# plugins come with libqt6gui6, the media ones with libqt6multimedia6, both
# linked. Wayland sessions and Qt's own translated dialog texts need more.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
