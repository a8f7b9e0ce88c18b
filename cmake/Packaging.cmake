# Installation of the desktop integration (menu entry and icon) and the Debian package.
#
#   cmake --install BUILD [--prefix DIR]     the programs, the menu entry, the icon, the logger
#                                            service, the manual pages
#   cpack --config BUILD/CPackConfig.cmake   rheotrackpanel_<version>-1_<arch>.deb
#
# On Windows (a MinGW-w64 cross build) the installer and the zip come from WindowsPackaging.cmake.
#
# The executables bring their own install rules (src/ and tools/).

set(RHEO_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR}/../packaging)
cmake_path(NORMAL_PATH RHEO_PACKAGING_DIR)

if(UNIX AND NOT APPLE)
    # Menu entry.
    install(FILES ${RHEO_PACKAGING_DIR}/rheotrackpanel.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

    # The application emblem, in every size drawn for it, in the hicolor theme.
    set(RHEO_ICON_SIZES 16 32 48 64 128)
    set(RHEO_ICONS_FOUND 0)
    foreach(size IN LISTS RHEO_ICON_SIZES)
        set(icon ${CMAKE_SOURCE_DIR}/resources/toolbar/app-${size}.png)
        if(EXISTS ${icon})
            install(FILES ${icon}
                    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                    RENAME rheotrackpanel.png)
            math(EXPR RHEO_ICONS_FOUND "${RHEO_ICONS_FOUND} + 1")
        endif()
    endforeach()
    if(RHEO_ICONS_FOUND EQUAL 0)
        message(WARNING "No application icon in resources/toolbar: the menu entry has none")
    endif()

    # The headless logger's service: a systemd template unit (one instance per instrument),
    # the system user it runs as, and the example of an instance's options. They come with the
    # package whether or not this tree builds the logger.
    install(FILES ${RHEO_PACKAGING_DIR}/systemd/rheotrack-logger@.service
            DESTINATION lib/systemd/system)
    install(FILES ${RHEO_PACKAGING_DIR}/systemd/rheotrackpanel.sysusers
            DESTINATION lib/sysusers.d RENAME rheotrackpanel.conf)
    # The instances' options live in /etc, where the unit reads them, also when the prefix is
    # /usr (the package); under any other prefix in PREFIX/etc.
    set(RHEO_LOGGER_EXAMPLE ${RHEO_PACKAGING_DIR}/logger/example.conf)
    install(CODE "
        if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
            set(rheo_etc /etc)
        else()
            set(rheo_etc \"\${CMAKE_INSTALL_PREFIX}/etc\")
        endif()
        file(INSTALL DESTINATION \"\${rheo_etc}/rheotrackpanel/logger\" TYPE FILE
             FILES \"${RHEO_LOGGER_EXAMPLE}\")")

    # Documentation as Debian has it: the copyright file, the package's changelog and a manual
    # page per program, compressed with gzip -9n (no name or time stamp, so the same bytes at
    # every build). They are compressed here, at configuration, since cpack builds nothing.
    set(RHEO_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/rheotrackpanel)
    set(RHEO_GENERATED_DOCS ${CMAKE_BINARY_DIR}/packaging)
    find_program(RHEO_GZIP gzip REQUIRED)
    configure_file(${RHEO_PACKAGING_DIR}/debian/changelog.in
                   ${RHEO_GENERATED_DOCS}/changelog.Debian @ONLY)
    set(RHEO_GZIPPED ${RHEO_GENERATED_DOCS}/changelog.Debian)
    foreach(program rheotrackpanel rheotrack-replay rheotrack-sim rheotrack-logger)
        configure_file(${RHEO_PACKAGING_DIR}/man/${program}.1.in
                       ${RHEO_GENERATED_DOCS}/${program}.1 @ONLY)
        list(APPEND RHEO_GZIPPED ${RHEO_GENERATED_DOCS}/${program}.1)
    endforeach()
    foreach(page IN LISTS RHEO_GZIPPED)
        cmake_path(GET page FILENAME name)
        execute_process(COMMAND ${RHEO_GZIP} -9n -c ${page}
                        OUTPUT_FILE ${RHEO_GENERATED_DOCS}/${name}.gz
                        COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
    install(FILES ${RHEO_PACKAGING_DIR}/debian/copyright DESTINATION ${RHEO_DOC_DIR})
    install(FILES ${RHEO_PACKAGING_DIR}/debian/lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME rheotrackpanel)
    install(FILES ${RHEO_GENERATED_DOCS}/changelog.Debian.gz DESTINATION ${RHEO_DOC_DIR})
    foreach(program rheotrackpanel rheotrack-replay rheotrack-sim rheotrack-logger)
        install(FILES ${RHEO_GENERATED_DOCS}/${program}.1.gz
                DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endforeach()
endif()

# What the package holds, to build before cpack (which builds nothing itself).
add_custom_target(rheo_packaged_programs)
foreach(program rheotrackpanel rheotrack-replay rheotrack-sim rheotrack-logger)
    if(TARGET ${program})
        add_dependencies(rheo_packaged_programs ${program})
    endif()
endforeach()

# ---- Package --------------------------------------------------------------------------------

set(CPACK_PACKAGE_NAME rheotrackpanel)
set(CPACK_PACKAGE_VENDOR "Kavrel")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "RHEOTRACKPANEL maintainers <rheotrackpanel@kavrel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "data logger for a rotational viscometer on a serial port")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "RHEOTRACKPANEL listens to a rotational viscometer on one of the first four\n"
    "serial ports, lists its last twenty readings (time, spindle, speed,\n"
    "temperature, viscosity, torque) and appends every reading to a separated-text\n"
    "session file while one is open. Instrument errors and the start and abnormal\n"
    "end of a recording run go to an event log.\n"
    "The package also holds rheotrack-replay, which turns a captured serial stream\n"
    "into the session file the program would write, rheotrack-sim, which plays the\n"
    "instrument, and the service rheotrack-logger@.service, which runs one headless\n"
    "logger per instrument.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY ${CPACK_PACKAGE_NAME})
set(CPACK_STRIP_FILES TRUE)

if(UNIX AND NOT APPLE)
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
    set(CPACK_DEBIAN_PACKAGE_SECTION science)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

    # The libraries the executables link, as dpkg-shlibdeps finds them; where it is missing
    # (not a Debian system), the Qt 6 libraries of Debian 12 by name.
    # Liberation Sans Narrow is the reading list's face, the one its values fit their columns in.
    find_program(RHEO_DPKG_SHLIBDEPS dpkg-shlibdeps)
    if(RHEO_DPKG_SHLIBDEPS)
        set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
        set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
    else()
        set(CPACK_DEBIAN_PACKAGE_DEPENDS
            "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6serialport6 (>= 6.4), libglib2.0-0 (>= 2.74), libstdc++6 (>= 12), libc6 (>= 2.34), fonts-liberation")
    endif()
    # The X11 platform plugin, for a desktop without one installed already; the file-type table
    # by which GIO finds the browser for the web link and the viewer for the log.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins, shared-mime-info")

    # postinst creates the machine-wide settings store, writable by the dialout group, and the
    # logger service's user; postrm removes the store on purge. The example of a logger's
    # options is a configuration file that an upgrade leaves as the administrator edited it.
    set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${RHEO_PACKAGING_DIR}/debian/postinst
        ${RHEO_PACKAGING_DIR}/debian/postrm ${RHEO_PACKAGING_DIR}/debian/conffiles)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
elseif(WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/WindowsPackaging.cmake)
else()
    set(CPACK_GENERATOR ZIP)
endif()

include(CPack)
