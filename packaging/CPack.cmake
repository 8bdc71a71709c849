# The Debian package: both programs and the samples under lib/quorvane (the programs find
# Samples/ next to themselves), links in bin, a .desktop entry and an icon.
include(GNUInstallDirs)
set(QV_INSTALL_APPDIR ${CMAKE_INSTALL_LIBDIR}/quorvane)

install(FILES ${PROJECT_SOURCE_DIR}/packaging/quorvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/quorvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(prog quorvane quorvane-cli)
  install(CODE "
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    execute_process(COMMAND ${CMAKE_COMMAND} -E create_symlink ../${CMAKE_INSTALL_LIBDIR}/quorvane/${prog}
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${prog}\")")
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VENDOR "Varnholt")
set(CPACK_PACKAGE_CONTACT "support@varnholt.example")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Copies Paradox tables into Microsoft Access databases")
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
