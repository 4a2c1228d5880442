# What an installation holds besides the programs (their own folders install those): the
# licence everywhere; on Linux the desktop entry, the icons, the AppStream metainfo and the
# manual page. Other platforms' installers add their own files beside these rules.
set(QMR4070_APP_ID org.qmr4070.qmr4070)

if(UNIX AND NOT APPLE)
  set(linux ${CMAKE_CURRENT_LIST_DIR}/linux)
  set(generated ${CMAKE_BINARY_DIR}/packaging)
  # Debian keeps a package's licence as its copyright file.
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
  install(FILES ${linux}/${QMR4070_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

  configure_file(${linux}/${QMR4070_APP_ID}.metainfo.xml.in ${generated}/${QMR4070_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${generated}/${QMR4070_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  install(FILES ${CMAKE_CURRENT_LIST_DIR}/icons/qmr4070.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(DIRECTORY ${CMAKE_CURRENT_LIST_DIR}/icons/hicolor/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor
          FILES_MATCHING PATTERN "*.png")

  # Manual pages are kept compressed; -n leaves the time out, so the file is the same each build.
  configure_file(${linux}/qmr4070.1.in ${generated}/qmr4070.1 @ONLY)
  execute_process(COMMAND gzip -9nkf ${generated}/qmr4070.1 COMMAND_ERROR_IS_FATAL ANY)
  install(FILES ${generated}/qmr4070.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

# qmr4070-line: its manual page and systemd unit (the program installs itself).
if(UNIX AND NOT APPLE)
  configure_file(${linux}/qmr4070-line.1.in ${generated}/qmr4070-line.1 @ONLY)
  execute_process(COMMAND gzip -9nkf ${generated}/qmr4070-line.1 COMMAND_ERROR_IS_FATAL ANY)
  install(FILES ${generated}/qmr4070-line.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${linux}/qmr4070-line.service DESTINATION lib/systemd/system)
endif()
