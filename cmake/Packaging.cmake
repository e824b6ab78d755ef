# Install rules for what is not a target, and the Debian package (cpack -G DEB).

# The units name the installed program, so they are written at install time, when the prefix is known
# (also the packaging prefix under cpack).
foreach(unit IN ITEMS "kestrum-monitor.service.in|lib/systemd/system/kestrum-monitor.service"
                      "kestrum-monitor-user.service.in|lib/systemd/user/kestrum-monitor.service")
    string(REPLACE "|" ";" parts "${unit}")
    list(GET parts 0 source)
    list(GET parts 1 destination)
    install(CODE "
        file(READ \"${PROJECT_SOURCE_DIR}/resources/systemd/${source}\" text)
        string(REPLACE \"@CMAKE_INSTALL_FULL_BINDIR@\" \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\" text \"\${text}\")
        set(target \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${destination}\")
        message(STATUS \"Installing: \${target}\")
        file(WRITE \"\${target}\" \"\${text}\")
    ")
endforeach()

install(DIRECTORY ${PROJECT_SOURCE_DIR}/contrib/ DESTINATION ${CMAKE_INSTALL_DATADIR}/kestrum/contrib)
# Debian looks for them under the package name, not the project name.
set(KESTRUM_PACKAGE_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/kestrum)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${KESTRUM_PACKAGE_DOCDIR})

# Debian wants a compressed changelog with no timestamp in the gzip header.
find_program(GZIP_PROGRAM gzip)
if(GZIP_PROGRAM)
    set(changelog ${CMAKE_BINARY_DIR}/changelog.Debian.gz)
    add_custom_command(OUTPUT ${changelog}
        COMMAND ${GZIP_PROGRAM} -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog > ${changelog}
        DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog)
    add_custom_target(kestrum_changelog ALL DEPENDS ${changelog})
    install(FILES ${changelog} DESTINATION ${KESTRUM_PACKAGE_DOCDIR})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrum)
set(CPACK_PACKAGE_VENDOR "Kestrum")
set(CPACK_PACKAGE_CONTACT "Kestrum maintainers <maintainers@kestrum.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "machine-health monitor for Linux desktops and servers")
# Debian wraps the extended description at 80 columns.
set(CPACK_PACKAGE_DESCRIPTION
    "Kestrum samples the machine every few seconds (processor, memory, disk,
network and Wi-Fi, battery, thermal pressure, graphics), keeps a compact
30-day history, judges what it sees against fixed limits and the user's own
learned baseline, and raises lasting alerts. It runs health tests, a processor
benchmark, network quality and speed tests and a storage map of a folder. It
is a desktop application with a tray item, a command-line tool, and a
headless monitor that serves its readings to Prometheus.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# With DESTDIR staging the install runs under this prefix, so the units name /usr/bin.
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://kestrum.app")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# QML modules are loaded at run time, so no library dependency names them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qml6-module-qtquick, qml6-module-qtquick-controls, qml6-module-qtquick-layouts, qml6-module-qtquick-window, qml6-module-qtquick-templates, qml6-module-qtquick-shapes, qml6-module-qtquick-dialogs, qml6-module-qtqml-workerscript, qt6-qpa-plugins")
# polkitd: pkcheck, which the fan helper asks before a non-root caller may boost.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "dbus-user-session, polkitd")
include(CPack)
