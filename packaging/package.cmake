# The installer packages (cpack). Settings every generator shares are here; each
# platform's generator has its own file beside this one.
set(CPACK_PACKAGE_NAME qmr4070)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The QMR4070 host program developers")
set(CPACK_PACKAGE_CONTACT "QMR4070 host program developers <maintainers@qmr4070.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "host program of the QMR4070 DC low-resistance meter")
set(CPACK_PACKAGE_DESCRIPTION
    "The desktop program beside a QMR4070 DC low-resistance meter at a test bench: live
readings with their sort result, the meter's switches, limits and nominal value, and a
record of every externally triggered reading in a local SQLite database, with searches,
.xls export and an optional shared PostgreSQL archive. Chinese user interface.
The simulated meter qmr4070-sim is included for training and trying the program.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_INSTALL_DIRECTORY QMR4070)
set(CPACK_STRIP_FILES ON)

if(UNIX AND NOT APPLE)
  include(${CMAKE_CURRENT_LIST_DIR}/linux/deb.cmake)
elseif(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/windows/installer.cmake)
endif()

include(CPack)
