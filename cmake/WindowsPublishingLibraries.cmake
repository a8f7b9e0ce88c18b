# What publishing is built on in the Windows programs: the static SQLite, libmosquitto, OpenSSL
# and nlohmann/json of scripts/windows-mqtt.sh, found in CMAKE_PREFIX_PATH (the prefix it
# prints) without pkg-config. Sets RHEO_PUBLISHING_LIBRARIES to the targets to link:
# SQLite::SQLite3 (CMake's FindSQLite3), rheo_mosquitto (imported here, LIBMOSQUITTO_STATIC),
# OpenSSL::SSL and OpenSSL::Crypto (CMake's FindOpenSSL, static) with the Windows libraries
# OpenSSL 3 calls.
set(RHEO_MQTT_HINT "the prefix that scripts/windows-mqtt.sh prints, in CMAKE_PREFIX_PATH")
# A new prefix (the script's key changed) is searched afresh: what was found in the last one
# stays in the cache otherwise, and would be linked while it lasts.
if(NOT "${CMAKE_PREFIX_PATH}" STREQUAL "${RHEO_PUBLISHING_PREFIX_PATH}")
    foreach(found SQLite3_INCLUDE_DIR SQLite3_LIBRARY OPENSSL_INCLUDE_DIR LIB_EAY SSL_EAY
                  OPENSSL_CRYPTO_LIBRARY OPENSSL_SSL_LIBRARY RHEO_MOSQUITTO_INCLUDE_DIR
                  RHEO_MOSQUITTO_LIBRARY nlohmann_json_DIR)
        unset(${found} CACHE)
    endforeach()
    set(RHEO_PUBLISHING_PREFIX_PATH "${CMAKE_PREFIX_PATH}" CACHE INTERNAL
        "The CMAKE_PREFIX_PATH the publishing libraries were found in")
endif()
find_package(SQLite3)
set(OPENSSL_USE_STATIC_LIBS TRUE)
find_package(OpenSSL 3)
find_path(RHEO_MOSQUITTO_INCLUDE_DIR mosquitto.h)
find_library(RHEO_MOSQUITTO_LIBRARY NAMES mosquitto_static)
if(NOT SQLite3_FOUND OR NOT OpenSSL_FOUND OR NOT RHEO_MOSQUITTO_INCLUDE_DIR
   OR NOT RHEO_MOSQUITTO_LIBRARY)
    message(FATAL_ERROR "Publishing needs the static SQLite, OpenSSL and libmosquitto for "
                        "Windows: give ${RHEO_MQTT_HINT}, or configure with "
                        "-DRHEO_BUILD_PUBLISHING=OFF")
endif()

add_library(rheo_mosquitto STATIC IMPORTED)
set_target_properties(rheo_mosquitto PROPERTIES
    IMPORTED_LOCATION ${RHEO_MOSQUITTO_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${RHEO_MOSQUITTO_INCLUDE_DIR}
    INTERFACE_COMPILE_DEFINITIONS LIBMOSQUITTO_STATIC)
# After the libraries on the link line: OpenSSL's sockets, certificate store, random numbers
# and screen (its entropy) calls.
target_link_libraries(rheo_mosquitto INTERFACE OpenSSL::SSL OpenSSL::Crypto ws2_32 crypt32
                                               bcrypt advapi32 user32 gdi32)
set(RHEO_PUBLISHING_LIBRARIES SQLite::SQLite3 rheo_mosquitto OpenSSL::SSL OpenSSL::Crypto)
