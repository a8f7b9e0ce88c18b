# The Windows installer and the portable folder, from a MinGW-w64 cross build (included by
# Packaging.cmake on Windows; the Debian package is defined there).
#
#   cpack --config BUILD/CPackConfig.cmake   rheotrackpanel-<version>-win64.exe (NSIS installer)
#                                            rheotrackpanel-<version>-win64.zip (portable folder)
#
# Both hold the same files, side by side in one folder: the programs and the licence, and the
# licences of the libraries linked in under licences/. The
# programs are static, so nothing else is needed on a Windows without Qt or a compiler.

# Every program, and the installer and its uninstaller, show the application's emblem.
set(RHEO_EMBLEM_ICON ${CMAKE_CURRENT_LIST_DIR}/../resources/rheotrackpanel.ico)
cmake_path(NORMAL_PATH RHEO_EMBLEM_ICON)
configure_file(${CMAKE_CURRENT_LIST_DIR}/../resources/emblem.rc.in
               ${CMAKE_BINARY_DIR}/resources/emblem.rc @ONLY)
foreach(program rheotrackpanel rheotrack-replay rheotrack-sim rheotrack-logger)
    if(TARGET ${program})
        target_sources(${program} PRIVATE ${CMAKE_BINARY_DIR}/resources/emblem.rc)
    endif()
endforeach()
set(CPACK_NSIS_MUI_ICON ${RHEO_EMBLEM_ICON})
set(CPACK_NSIS_MUI_UNIICON ${RHEO_EMBLEM_ICON})

set(RHEO_LICENSE_FILE ${CMAKE_CURRENT_LIST_DIR}/../LICENSE)
cmake_path(NORMAL_PATH RHEO_LICENSE_FILE)
install(FILES ${RHEO_LICENSE_FILE} DESTINATION . RENAME LICENSE.txt)
# The licences of the libraries that publishing links in (scripts/windows-mqtt.sh keeps them in
# its prefix): OpenSSL's Apache licence and libmosquitto's Eclipse Distribution Licence, which
# ask for their text beside a program built with them; SQLite is in the public domain.
if(RHEO_MOSQUITTO_INCLUDE_DIR)
    cmake_path(GET RHEO_MOSQUITTO_INCLUDE_DIR PARENT_PATH RHEO_MQTT_PREFIX)
    install(FILES ${RHEO_MQTT_PREFIX}/share/doc/openssl-LICENSE.txt DESTINATION licences
            RENAME OpenSSL-LICENSE.txt)
    install(FILES ${RHEO_MQTT_PREFIX}/share/doc/mosquitto-edl-v10 DESTINATION licences
            RENAME mosquitto-edl-v10.txt)
    install(FILES ${RHEO_MQTT_PREFIX}/share/doc/mosquitto-epl-v20 DESTINATION licences
            RENAME mosquitto-epl-v20.txt)
endif()

set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY RHEOTRACKPANEL)
set(CPACK_RESOURCE_FILE_LICENSE ${RHEO_LICENSE_FILE})  # the installer's licence page

# Program Files, a Start-menu shortcut to the program, and an uninstaller (NSIS always writes
# one, and lists it under Apps & features).
set(CPACK_NSIS_PACKAGE_NAME RHEOTRACKPANEL)
set(CPACK_NSIS_DISPLAY_NAME "RHEOTRACKPANEL ${PROJECT_VERSION}")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_PACKAGE_EXECUTABLES rheotrackpanel RHEOTRACKPANEL)
set(CPACK_NSIS_INSTALLED_ICON_NAME rheotrackpanel.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
# A 64-bit installer for a 64-bit program (and for a Wine without its 32-bit half).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")

# The portable zip unpacks into one folder named like the package.
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
