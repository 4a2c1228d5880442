# The Windows installer (CPack, NSIS): the program with everything it loads at run time,
# into Program Files, with a Start-menu entry and an uninstaller. Records and settings live
# in the user's own folders and stay when the program is uninstalled.

set(qmr_display_name "QMR4070 低电阻测量仪")
# The dependencies built by scripts/windows-deps share one prefix: Qt's.
get_filename_component(qmr_deps "${Qt6_DIR}/../../.." ABSOLUTE)
set(QMR4070_WINDOWS_DEPS "${qmr_deps}" CACHE PATH "Prefix of Qt, libpq and OpenSSL for Windows")

# The icon, made from the project's SVG at configure time.
set(qmr_icon_svg "${PROJECT_SOURCE_DIR}/packaging/icons/qmr4070.svg")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${qmr_icon_svg}")
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(ICOTOOL icotool REQUIRED)
set(qmr_icon "${CMAKE_CURRENT_BINARY_DIR}/qmr4070.ico")
set(qmr_icon_pngs)
foreach(size 16 24 32 48 64 256)
  set(png "${CMAKE_CURRENT_BINARY_DIR}/icon-${size}.png")
  execute_process(COMMAND "${RSVG_CONVERT}" -w ${size} -h ${size} -o "${png}" "${qmr_icon_svg}" COMMAND_ERROR_IS_FATAL ANY)
  list(APPEND qmr_icon_pngs "${png}")
endforeach()
execute_process(COMMAND "${ICOTOOL}" -c -o "${qmr_icon}" ${qmr_icon_pngs} COMMAND_ERROR_IS_FATAL ANY)

configure_file("${CMAKE_CURRENT_LIST_DIR}/qmr4070.rc.in" "${CMAKE_CURRENT_BINARY_DIR}/qmr4070.rc" @ONLY)
target_sources(qmr4070 PRIVATE "${CMAKE_CURRENT_BINARY_DIR}/qmr4070.rc")

# Qt finds its plugins and translations beside the program, not where it was built.
file(WRITE "${CMAKE_CURRENT_BINARY_DIR}/qt.conf" "[Paths]\nPrefix=..\n")

install(FILES "${CMAKE_CURRENT_BINARY_DIR}/qt.conf" DESTINATION bin)
set(qmr_dlls)
foreach(dll Qt6Core Qt6Gui Qt6Widgets Qt6Sql Qt6SerialPort libpq libcrypto-3-x64 libssl-3-x64)
  list(APPEND qmr_dlls "${QMR4070_WINDOWS_DEPS}/bin/${dll}.dll")
endforeach()
# The MinGW runtime of the compiler that built Qt and the program.
foreach(dll libstdc++-6 libgcc_s_seh-1 libwinpthread-1)
  execute_process(COMMAND "${CMAKE_CXX_COMPILER}" -print-file-name=${dll}.dll OUTPUT_VARIABLE path
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  list(APPEND qmr_dlls "${path}")
endforeach()
install(FILES ${qmr_dlls} DESTINATION bin)
foreach(plugin platforms/qwindows sqldrivers/qsqlite styles/qwindowsvistastyle)
  get_filename_component(folder "${plugin}" DIRECTORY)
  install(FILES "${QMR4070_WINDOWS_DEPS}/plugins/${plugin}.dll" DESTINATION "plugins/${folder}")
endforeach()
install(DIRECTORY "${QMR4070_WINDOWS_DEPS}/translations/" DESTINATION translations FILES_MATCHING PATTERN "*_zh_CN.qm")
install(DIRECTORY "${QMR4070_WINDOWS_DEPS}/licenses/" DESTINATION licenses)
# CPack strips the program; the libraries are stripped here, as installed.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    file(GLOB_RECURSE dlls \"\${CMAKE_INSTALL_PREFIX}/*.dll\")
    execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \${dlls} COMMAND_ERROR_IS_FATAL ANY)
  endif()")

set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME qmr4070)
set(CPACK_PACKAGE_VENDOR "QMR4070")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${qmr_display_name}")
set(CPACK_PACKAGE_FILE_NAME "qmr4070-${PROJECT_VERSION}-win64-setup")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "QMR4070")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "QMR4070")
set(CPACK_PACKAGE_EXECUTABLES qmr4070 "${qmr_display_name}")
set(CPACK_STRIP_FILES ON)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME "${qmr_display_name}")
set(CPACK_NSIS_DISPLAY_NAME "${qmr_display_name}")
set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\\\qmr4070.exe")
set(CPACK_NSIS_MUI_ICON "${qmr_icon}")
set(CPACK_NSIS_MUI_UNIICON "${qmr_icon}")
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# A 64-bit installer for the 64-bit program (it runs where the program can; Unicode for the
# Chinese names); the version in the installer's file properties.
set(CPACK_NSIS_DEFINES "Target amd64-unicode
VIProductVersion ${PROJECT_VERSION}.0
VIAddVersionKey ProductName '${qmr_display_name}'
VIAddVersionKey ProductVersion ${PROJECT_VERSION}
VIAddVersionKey FileVersion ${PROJECT_VERSION}
VIAddVersionKey FileDescription '${qmr_display_name} ${PROJECT_VERSION} 安装程序'
VIAddVersionKey LegalCopyright QMR4070")
