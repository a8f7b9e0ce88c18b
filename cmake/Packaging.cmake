# Installation of the desktop integration (menu entry and icon) and the Debian package.
#
#   cmake --install BUILD [--prefix DIR]     the program, the tools, the menu entry, the icon
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
endif()

# ---- Package --------------------------------------------------------------------------------

set(CPACK_PACKAGE_NAME rheotrackpanel)
set(CPACK_PACKAGE_VENDOR "Kavrel")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "RHEOTRACKPANEL maintainers <rheotrackpanel@kavrel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "data logger for a rotational viscometer on a serial port")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "RHEOTRACKPANEL listens to a rotational viscometer on one of the first four serial\n"
    "ports, lists its last twenty readings (time, spindle, speed, temperature, viscosity,\n"
    "torque) and appends every reading to a separated-text session file while one is open.\n"
    "Instrument errors and the start and abnormal end of a recording run go to an event log.\n"
    "The package also holds rheotrack-replay, which turns a captured serial stream into the\n"
    "session file the program would write, and rheotrack-sim, which plays the instrument.")
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
            "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6serialport6 (>= 6.4), libglib2.0-0 (>= 2.74), libmosquitto1 (>= 2.0), libsqlite3-0 (>= 3.40), libstdc++6 (>= 12), libc6 (>= 2.34), fonts-liberation")
    endif()
    # The X11 platform plugin, for a desktop without one installed already; the file-type table
    # by which GIO finds the browser for the web link and the viewer for the log.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins, shared-mime-info")

    # postinst creates the machine-wide settings store, writable by the dialout group;
    # postrm removes it on purge.
    set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
        ${RHEO_PACKAGING_DIR}/debian/postinst ${RHEO_PACKAGING_DIR}/debian/postrm)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
elseif(WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/WindowsPackaging.cmake)
else()
    set(CPACK_GENERATOR ZIP)
endif()

include(CPack)
