# The release packages, all of version PROJECT_VERSION, written into
# VANTREL_DIST_DIR by scripts/package:
#   POSIX build: vantrel_<version>-1_amd64.deb, made by CPack (cpack -G DEB,
#                which scripts/package moves into dist/) from the install rules,
#                its dependencies found by dpkg-shlibdeps.
#   mingw build: targets vantrel-installer (vantrel-<version>-setup.exe, NSIS)
#                and vantrel-zip (vantrel-<version>-win64.zip).

set(VANTREL_DIST_DIR "${PROJECT_SOURCE_DIR}/dist" CACHE PATH "Where the release packages are written")
set(VANTREL_MAINTAINER "Vantrel maintainers <maintainers@users.noreply.c-seed-aaf4af38.example>")
set(packaging ${PROJECT_SOURCE_DIR}/packaging)

if(VANTREL_HOST STREQUAL "posix")
  include(GNUInstallDirs)
  set(docdir ${CMAKE_INSTALL_DATADIR}/doc/vantrel)
  set(staged ${PROJECT_BINARY_DIR}/packaging)

  # Debian wants the changelog and the manual pages compressed, without the
  # time of compression (so that the package is the same when made again).
  set(gzipped)
  foreach(file IN ITEMS debian/changelog debian/vantrel-mac.1 debian/vantrel-mac-ascii.1)
    get_filename_component(name ${file} NAME)
    configure_file(${packaging}/${file} ${staged}/${name} @ONLY)
    add_custom_command(OUTPUT ${staged}/${name}.gz
                       COMMAND gzip -9 -n -f -k ${staged}/${name}
                       DEPENDS ${packaging}/${file} VERBATIM)
    list(APPEND gzipped ${staged}/${name}.gz)
  endforeach()
  add_custom_target(vantrel-package-files ALL DEPENDS ${gzipped})

  install(FILES ${staged}/changelog.gz DESTINATION ${docdir} RENAME changelog.Debian.gz)
  install(FILES ${packaging}/debian/copyright DESTINATION ${docdir})
  install(FILES ${staged}/vantrel-mac.1.gz ${staged}/vantrel-mac-ascii.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME vantrel)
  set(CPACK_PACKAGE_VENDOR "The Vantrel developers")
  set(CPACK_PACKAGE_CONTACT "${VANTREL_MAINTAINER}")
  set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find duplicate files and delete the redundant copies")
  string(CONCAT CPACK_PACKAGE_DESCRIPTION
      "Vantrel searches the folders you pick for files with identical contents,\n"
      "shows them in numbered groups, and lets you mark and delete the redundant\n"
      "copies, each compared byte by byte with the copy kept beside it first.\n"
      "vantrel-mac hands file names to the file system as UTF-8, vantrel-mac-ascii\n"
      "hands them over as bytes and shows them as Latin-1.")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
  include(CPack)
else()
  find_program(VANTREL_MAKENSIS makensis)
  set(installer ${VANTREL_DIST_DIR}/vantrel-${PROJECT_VERSION}-setup.exe)
  if(VANTREL_MAKENSIS)
    add_custom_command(OUTPUT ${installer}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${VANTREL_DIST_DIR}
      COMMAND ${VANTREL_MAKENSIS} -V2 -INPUTCHARSET UTF8 -DVERSION=${PROJECT_VERSION} -DEXE=$<TARGET_FILE:vantrel>
              -DICON=${PROJECT_SOURCE_DIR}/app/vantrel.ico -DOUTFILE=${installer}
              ${packaging}/vantrel.nsi
      DEPENDS vantrel ${packaging}/vantrel.nsi ${PROJECT_SOURCE_DIR}/app/vantrel.ico VERBATIM)
    add_custom_target(vantrel-installer DEPENDS ${installer})
  endif()

  # The zip holds one folder, so that unpacking it leaves the program in a
  # folder of its own.
  set(folder vantrel-${PROJECT_VERSION}-win64)
  set(zip ${VANTREL_DIST_DIR}/${folder}.zip)
  add_custom_command(OUTPUT ${zip}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${PROJECT_BINARY_DIR}/zip
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/zip/${folder} ${VANTREL_DIST_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:vantrel> ${PROJECT_BINARY_DIR}/zip/${folder}/vantrel.exe
    COMMAND ${CMAKE_COMMAND} -E rm -f ${zip}
    COMMAND ${CMAKE_COMMAND} -E chdir ${PROJECT_BINARY_DIR}/zip
            ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip ${folder}
    DEPENDS vantrel VERBATIM)
  add_custom_target(vantrel-zip DEPENDS ${zip})
endif()
