# What the Debian package installs and the package itself (scripts/package.sh builds it with cpack).
#
# Programs go to <prefix>/lib/vantrel, all in one folder, because each finds the others (the updater, the demo)
# beside itself; /usr/bin holds links to the ones a user starts. The files a user's data folder starts from go to
# <prefix>/share/vantrel, with the marker that tells the program it is installed (see src/store/AppFolder.h).

set(VANTREL_PROGRAM_DIR lib/vantrel)
set(VANTREL_SHARE_DIR share/vantrel)
set(VANTREL_PACKAGE_STAGE ${CMAKE_BINARY_DIR}/package-stage)
file(MAKE_DIRECTORY ${VANTREL_PACKAGE_STAGE}/bin)

# cpack installs only what package-programs built; it does not build every test first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
add_custom_target(package-programs)

# Debian wants its documentation compressed with gzip -9n.
find_program(VANTREL_GZIP gzip REQUIRED)
add_custom_target(package-docs)
add_dependencies(package-programs package-docs)
function(vantrel_install_gzipped source destination)
  get_filename_component(name ${source} NAME)
  set(gz ${VANTREL_PACKAGE_STAGE}/gz/${destination}/${name}.gz)
  add_custom_command(OUTPUT ${gz}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${VANTREL_PACKAGE_STAGE}/gz/${destination}
                     COMMAND ${VANTREL_GZIP} -9nc ${source} > ${gz}
                     DEPENDS ${source})
  string(MAKE_C_IDENTIFIER "${destination}/${name}" id)
  add_custom_target(package-doc-${id} DEPENDS ${gz})
  add_dependencies(package-docs package-doc-${id})
  install(FILES ${gz} DESTINATION ${destination})
endfunction()

# vantrel_install_program(<target> [NO_LINK]): installs a program into the program folder, with a link in bin and
# its manual page packaging/man/<target>.1 (when there is one) unless NO_LINK. Programs that load the office's libraries find them relative to themselves, so the package
# does not hard-wire a search path into the system.
function(vantrel_install_program target)
  cmake_parse_arguments(P "NO_LINK" "" "" ${ARGN})
  add_dependencies(package-programs ${target})
  install(TARGETS ${target} RUNTIME DESTINATION ${VANTREL_PROGRAM_DIR})
  install(CODE "
    set(file \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${VANTREL_PROGRAM_DIR}/${target}\")
    unset(rpath)
    file(READ_ELF \"\${file}\" RPATH rpath)
    if(rpath MATCHES \"libreoffice\")
      file(RPATH_SET FILE \"\${file}\" NEW_RPATH \"\\\$ORIGIN/../libreoffice/program\")
    elseif(rpath)
      file(RPATH_REMOVE FILE \"\${file}\")
    endif()")
  if(NOT P_NO_LINK)
    file(CREATE_LINK ../${VANTREL_PROGRAM_DIR}/${target} ${VANTREL_PACKAGE_STAGE}/bin/${target} SYMBOLIC)
    install(FILES ${VANTREL_PACKAGE_STAGE}/bin/${target} DESTINATION bin)
    if(EXISTS ${PROJECT_SOURCE_DIR}/packaging/man/${target}.1)
      vantrel_install_gzipped(${PROJECT_SOURCE_DIR}/packaging/man/${target}.1 share/man/man1)
    endif()
  endif()
endfunction()

vantrel_install_program(vantrel)
vantrel_install_program(vantrel-setup)
vantrel_install_program(vantrel-demo)
vantrel_install_program(vantrel-make-doc)
vantrel_install_program(vantrel-generate)
vantrel_install_program(vantrel-due)
vantrel_install_program(Trevolan NO_LINK)

# The user's data folder starts from these.
file(TOUCH ${VANTREL_PACKAGE_STAGE}/installed)
install(FILES resources/Empty.Doc ${VANTREL_PACKAGE_STAGE}/installed DESTINATION ${VANTREL_SHARE_DIR})
install(DIRECTORY Help BasicExcel DESTINATION ${VANTREL_SHARE_DIR})

# Desktop integration: menu entry, icon, the backup file type, AppStream data.
install(FILES packaging/vantrel.desktop DESTINATION share/applications)
install(FILES packaging/vantrel-mime.xml DESTINATION share/mime/packages RENAME vantrel.xml)
foreach(size 16 24 32 48 64 128 256)
  install(FILES packaging/icons/${size}.png DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME vantrel.png)
endforeach()
install(FILES packaging/vantrel.svg DESTINATION share/icons/hicolor/scalable/apps)
configure_file(packaging/com.example.vantrel.metainfo.xml.in ${VANTREL_PACKAGE_STAGE}/com.example.vantrel.metainfo.xml
               @ONLY)
install(FILES ${VANTREL_PACKAGE_STAGE}/com.example.vantrel.metainfo.xml DESTINATION share/metainfo)

# Debian's documentation files: the copyright and the changelog.
configure_file(packaging/changelog.in ${VANTREL_PACKAGE_STAGE}/changelog @ONLY)
vantrel_install_gzipped(${VANTREL_PACKAGE_STAGE}/changelog share/doc/vantrel)
install(FILES packaging/copyright DESTINATION share/doc/vantrel)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Vantrel developers <dev@vantrel.example.com>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://vantrel.example.com/)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "contract documents from structured contract data")
set(CPACK_PACKAGE_DESCRIPTION
    "Vantrel keeps contract records in a tree of categories with typed fields,\n\
computes dependent values with formulas (amounts in Chinese capital digits,\n\
dates in Chinese numerals, contract numbers) and fills each category's\n\
word-processor template with a record, producing the finished contract\n\
document through LibreOffice. Its user interface is in Simplified Chinese.")
# Libraries the programs link are found by dpkg-shlibdeps (the office's own ones in its program folder); the
# rest is what they load at run time: the database drivers, the office itself, the fonts and Qt's translations.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS /usr/lib/libreoffice/program)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6sql6-sqlite, libqt6sql6-psql, qt6-translations-l10n, libreoffice-writer, libreoffice-calc, fonts-noto-cjk, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libreoffice-l10n-zh-cn, fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
