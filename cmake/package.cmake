# The Debian package (`make package`, CPack's DEB generator). Its files are install rules of the
# component "deb", left out of a plain `cmake --install`: that one keeps the portable layout of
# `make run`'s dist/ (everything beside the programs), while the package puts each file where
# Debian wants it below /usr.
include(GNUInstallDirs)
set(MARL_PACKAGE_PREFIX /usr)
set(MARL_MAINTAINER "marltips maintainers <maintainers@users.noreply.c-seed-8c8ee7b0.example>"
    CACHE STRING "Maintainer of the Debian package")
set(marl_package_dir ${CMAKE_BINARY_DIR}/package)
set(marl_libexec ${CMAKE_INSTALL_LIBEXECDIR}/marltips)
set(marl_doc ${CMAKE_INSTALL_DATADIR}/doc/marltips)

# Manual pages: marltips(1) written by hand, marltips-cli(1) made from the built program's own help
# (every command it lists, each with its options, defaults and the exit codes), so the page follows
# every change of the command line. Both gzipped as Debian wants them (-n: no time stamp).
find_package(Python3 REQUIRED COMPONENTS Interpreter)
configure_file(${CMAKE_SOURCE_DIR}/data/package/marltips.1 ${marl_package_dir}/marltips.1 @ONLY)
add_custom_command(
  OUTPUT ${marl_package_dir}/marltips-cli.1
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/cmake/cli_manpage.py $<TARGET_FILE:marltips-cli>
          ${PROJECT_VERSION} ${marl_package_dir}/marltips-cli.1
  DEPENDS marltips-cli ${CMAKE_SOURCE_DIR}/cmake/cli_manpage.py
  COMMENT "Writing the manual page marltips-cli(1) from the program's help"
  VERBATIM)
set(marl_gzipped)
foreach(page marltips.1 marltips-cli.1 changelog)
  add_custom_command(
    OUTPUT ${marl_package_dir}/${page}.gz
    COMMAND gzip -9 -n -c ${marl_package_dir}/${page} > ${marl_package_dir}/${page}.gz
    DEPENDS ${marl_package_dir}/${page})
  list(APPEND marl_gzipped ${marl_package_dir}/${page}.gz)
endforeach()
add_custom_target(marl_package_files ALL DEPENDS ${marl_gzipped})

set(MARL_BINDIR ${MARL_PACKAGE_PREFIX}/${CMAKE_INSTALL_BINDIR})
configure_file(${CMAKE_SOURCE_DIR}/data/package/marltips-start.in ${marl_package_dir}/marltips-start @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/data/package/changelog ${marl_package_dir}/changelog @ONLY)
# The menu starts the program through the launcher, which makes the user's database on first use.
set(MARL_DESKTOP_EXEC ${MARL_PACKAGE_PREFIX}/${marl_libexec}/marltips-start)
set(MARL_DESKTOP_PATH "# No working folder: the programs find their files themselves.")
set(MARL_DESKTOP_ICON marltips)
configure_file(${CMAKE_SOURCE_DIR}/data/marltips.desktop.in ${marl_package_dir}/marltips.desktop @ONLY)

set(marl_deb COMPONENT deb EXCLUDE_FROM_ALL)
install(TARGETS marltips-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} ${marl_deb})
install(FILES ${marl_package_dir}/marltips-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 ${marl_deb})
install(FILES ${CMAKE_SOURCE_DIR}/data/marltips.sql DESTINATION ${CMAKE_INSTALL_DATADIR}/marltips ${marl_deb})
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/data/package/copyright
              ${marl_package_dir}/changelog.gz
        DESTINATION ${marl_doc} ${marl_deb})
set(marl_programs marltips-cli)
if(MARL_GUI)
  list(APPEND marl_programs marltips)
  install(TARGETS marltips RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} ${marl_deb})
  install(PROGRAMS ${marl_package_dir}/marltips-start DESTINATION ${marl_libexec} ${marl_deb})
  install(FILES ${marl_package_dir}/marltips.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications ${marl_deb})
  install(FILES ${CMAKE_SOURCE_DIR}/data/marltips.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps ${marl_deb})
  install(FILES ${marl_package_dir}/marltips.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 ${marl_deb})
endif()
# CPACK_STRIP_FILES takes the symbols away; the compiler's notes go too, as dh_strip does it.
if(CMAKE_STRIP)
  install(CODE "
    foreach(program ${marl_programs})
      execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
                      COMMAND_ERROR_IS_FATAL ANY)
    endforeach()" ${marl_deb})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME marltips)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "marltips maintainers")
set(CPACK_PACKAGE_CONTACT ${MARL_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX ${MARL_PACKAGE_PREFIX})
# Only the package's own rules, as one package.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};marltips;deb;/")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "watch web list pages and tell of every new article")
set(CPACK_PACKAGE_DESCRIPTION
    "marltips watches web list pages (a site's page of newest articles) and
records each new article in an SQLite database. One plan per page says where
the article list lies and which links are articles; new articles appear in
the window's list and in a popup.

The package holds the desktop program (Qt 6) and marltips-cli, its headless
companion for servers, cron and scripts: plans, monitoring passes, Atom feeds
and a feed server. Both keep their files in ~/.local/share/marltips.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${MARL_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not linked but used: the Chinese font of the windows, Qt's own Chinese texts, more platform
# plug-ins, and xdg-open for articles opened in the browser.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk, qt6-translations-l10n, qt6-qpa-plugins, xdg-utils")
include(CPack)
