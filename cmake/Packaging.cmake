# Installation into the usual GNU/FHS places and the Debian package (CPack).
#
#   cmake --install build --prefix /usr/local
#   scripts/package.sh            (the .deb, checked with lintian)

set(LUCIDRA_PACKAGE_NAME lucidra)
# Debian names the documentation folder after the package, not the project.
set(LUCIDRA_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${LUCIDRA_PACKAGE_NAME})
set(LUCIDRA_PACKAGE_MAINTAINER "Lucidra LED maintainers <maintainers@lucidra-led.org>"
    CACHE STRING "Maintainer field of the Debian package")

# Examples, man pages, desktop entry, icon, AppStream metadata.
install(FILES
  ${PROJECT_SOURCE_DIR}/examples/lucidra.cfg
  ${PROJECT_SOURCE_DIR}/examples/lambertian.txt
  ${PROJECT_SOURCE_DIR}/examples/narrow.txt
  ${PROJECT_SOURCE_DIR}/examples/three_point.txt
  ${PROJECT_SOURCE_DIR}/examples/lambertian_led.ies
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lucidra/examples)

# Debian wants man pages and the changelog compressed, and compressed
# reproducibly (-n: no name or time stamp in the gzip header).
find_program(LUCIDRA_GZIP gzip)
set(lucidra_compressed)
function(lucidra_compressed_file source output)
  if(LUCIDRA_GZIP)
    add_custom_command(OUTPUT ${output}
      COMMAND ${LUCIDRA_GZIP} -9n -c ${source} > ${output}
      DEPENDS ${source} VERBATIM)
  else()
    get_filename_component(plain ${output} NAME_WLE)
    get_filename_component(dir ${output} DIRECTORY)
    configure_file(${source} ${dir}/${plain} COPYONLY)
  endif()
  set(lucidra_compressed ${lucidra_compressed} ${output} PARENT_SCOPE)
endfunction()

set(man_dir ${PROJECT_BINARY_DIR}/packaging/man1)
set(doc_dir ${PROJECT_BINARY_DIR}/packaging/doc)
file(MAKE_DIRECTORY ${man_dir} ${doc_dir})
set(man_pages lucidra-cli)
if(LUCIDRA_BUILD_APP)
  list(APPEND man_pages lucidra)
endif()
# The man pages and the changelog carry the version of project(); the
# command line's page is made from its help texts when it is built.
string(TIMESTAMP LUCIDRA_BUILD_DATE "%Y-%m-%d" UTC)
set(generated_man_dir ${PROJECT_BINARY_DIR}/packaging/man-source)
file(MAKE_DIRECTORY ${generated_man_dir})
find_program(LUCIDRA_HELP2MAN help2man)
if(NOT LUCIDRA_HELP2MAN)
  message(FATAL_ERROR "help2man makes the command line's man page from its help: run scripts/install-deps.sh")
endif()
add_custom_command(OUTPUT ${generated_man_dir}/lucidra-cli.1
  COMMAND ${CMAKE_COMMAND} -DCLI=$<TARGET_FILE:lucidra-cli> -DHELP2MAN=${LUCIDRA_HELP2MAN}
          -DINCLUDE=${PROJECT_SOURCE_DIR}/docs/lucidra-cli.h2m -DOUTPUT=${generated_man_dir}/lucidra-cli.1
          -P ${PROJECT_SOURCE_DIR}/cmake/man_page.cmake
  DEPENDS lucidra-cli ${PROJECT_SOURCE_DIR}/docs/lucidra-cli.h2m ${PROJECT_SOURCE_DIR}/cmake/man_page.cmake
  VERBATIM)
configure_file(${PROJECT_SOURCE_DIR}/docs/lucidra.1.in ${generated_man_dir}/lucidra.1 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
foreach(page IN LISTS man_pages)
  lucidra_compressed_file(${generated_man_dir}/${page}.1 ${man_dir}/${page}.1.gz)
endforeach()
lucidra_compressed_file(${PROJECT_BINARY_DIR}/packaging/changelog ${doc_dir}/changelog.gz)
add_custom_target(lucidra_packaging_files ALL DEPENDS ${lucidra_compressed})

if(LUCIDRA_GZIP)
  foreach(page IN LISTS man_pages)
    install(FILES ${man_dir}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  install(FILES ${doc_dir}/changelog.gz DESTINATION ${LUCIDRA_DOCDIR})
else()
  foreach(page IN LISTS man_pages)
    install(FILES ${man_dir}/${page}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  install(FILES ${doc_dir}/changelog DESTINATION ${LUCIDRA_DOCDIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${LUCIDRA_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${LUCIDRA_PACKAGE_NAME})

if(LUCIDRA_BUILD_APP)
  install(FILES ${PROJECT_SOURCE_DIR}/data/lucidra.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/data/lucidra.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  configure_file(${PROJECT_SOURCE_DIR}/data/lucidra.metainfo.xml
    ${PROJECT_BINARY_DIR}/packaging/lucidra.metainfo.xml @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/lucidra.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# The Debian package. Its dependencies come from dpkg-shlibdeps on the
# installed binaries, never from a hand-written list.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${LUCIDRA_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Lucidra LED")
set(CPACK_PACKAGE_CONTACT ${LUCIDRA_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "LED ray file generator for TracePro and Zemax")
set(CPACK_PACKAGE_DESCRIPTION
  "Lucidra LED turns an LED's measured angular intensity distributions into a
ray file: N + 1 rays, each a start point, direction cosines and a flux, that
TracePro or Zemax load as a light source. It offers rectangular or elliptical
emitters, Lambertian, uniform or measured angular laws, double-sided emission
and quasi-random (Sobol) or pseudo-random sampling, and writes the same file
byte for byte for the same settings.
.
The package holds the desktop window (lucidra) and the command line
(lucidra-cli) for batch jobs and reproducible runs.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${LUCIDRA_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Stripped binaries: the package is for users; debug builds come from source.
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
set(CPACK_SOURCE_IGNORE_FILES "/build.*/;/\\\\.git/")
include(CPack)
