# What `cmake --install` puts where, and the packages CPack makes of it:
# on Linux a Debian package, on Windows a zip with Tessivo.exe and its German
# readme. Both take their version from project(), like the version resource
# and `tessivo --version`. scripts/package.sh runs the whole of it.

set(TESSIVO_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)
set(TESSIVO_PACKAGE_OUT ${CMAKE_BINARY_DIR}/packaging)

set(CPACK_PACKAGE_NAME tessivo)
set(CPACK_PACKAGE_VENDOR "Tessivo-Projekt")
set(CPACK_PACKAGE_CONTACT "Tessivo-Projekt <info@tessivo.test>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "unlock the SIM card of a UMTS/GPRS modem")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.tessivo.test/")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
# Installing builds only what is installed (scripts/package.sh builds those
# targets), not every test program.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
# Packages go to build's own folder; scripts/package.sh collects them in dist/.
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/cpack)
# Modes that do not depend on the umask of whoever builds.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(WIN32)
  # The readme is kept in UTF-8 with Unix line ends and given to Windows in
  # its own code page and line ends, which every editor there shows right.
  find_program(TESSIVO_ICONV iconv REQUIRED)
  configure_file(${TESSIVO_PACKAGING}/windows/LIESMICH.txt
                 ${TESSIVO_PACKAGE_OUT}/LIESMICH.utf8.txt @ONLY NEWLINE_STYLE CRLF)
  add_custom_command(
    OUTPUT ${TESSIVO_PACKAGE_OUT}/LIESMICH.txt
    COMMAND ${TESSIVO_ICONV} -f UTF-8 -t WINDOWS-1252 -o ${TESSIVO_PACKAGE_OUT}/LIESMICH.txt
            ${TESSIVO_PACKAGE_OUT}/LIESMICH.utf8.txt
    DEPENDS ${TESSIVO_PACKAGE_OUT}/LIESMICH.utf8.txt
    VERBATIM)
  add_custom_target(tessivo_package_data ALL DEPENDS ${TESSIVO_PACKAGE_OUT}/LIESMICH.txt)

  install(TARGETS tessivo_exe RUNTIME DESTINATION .)
  install(FILES ${TESSIVO_PACKAGE_OUT}/LIESMICH.txt DESTINATION .)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME Tessivo-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  include(GNUInstallDirs)

  # Manual pages from scdoc, and the Debian changelog, compressed as Debian
  # wants them: gzip -9 without a time stamp, so two builds give equal bytes.
  find_program(TESSIVO_SCDOC scdoc)
  find_program(TESSIVO_GZIP gzip REQUIRED)
  set(TESSIVO_PACKAGE_DATA)
  if(TESSIVO_SCDOC)
    foreach(page tessivo.1 tessivo-modemsim.1 tessivo-dialog.1)
      configure_file(${TESSIVO_PACKAGING}/linux/${page}.scd ${TESSIVO_PACKAGE_OUT}/${page}.scd @ONLY)
      add_custom_command(
        OUTPUT ${TESSIVO_PACKAGE_OUT}/${page}.gz
        COMMAND sh -c "'${TESSIVO_SCDOC}' < '${page}.scd' > '${page}.roff' && cat '${TESSIVO_PACKAGING}/linux/man-preamble.roff' '${page}.roff' > '${page}' && '${TESSIVO_GZIP}' -9nf '${page}'"
        DEPENDS ${TESSIVO_PACKAGE_OUT}/${page}.scd ${TESSIVO_PACKAGING}/linux/man-preamble.roff
        WORKING_DIRECTORY ${TESSIVO_PACKAGE_OUT}
        VERBATIM)
      list(APPEND TESSIVO_PACKAGE_DATA ${TESSIVO_PACKAGE_OUT}/${page}.gz)
    endforeach()
    install(FILES ${TESSIVO_PACKAGE_OUT}/tessivo.1.gz ${TESSIVO_PACKAGE_OUT}/tessivo-modemsim.1.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    if(TARGET tessivo-dialog)
      install(FILES ${TESSIVO_PACKAGE_OUT}/tessivo-dialog.1.gz
              DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT gui)
    endif()
  else()
    tessivo_left_out("scdoc not found: the manual pages are neither built nor installed")
  endif()
  add_custom_command(
    OUTPUT ${TESSIVO_PACKAGE_OUT}/changelog.gz
    COMMAND sh -c "'${TESSIVO_GZIP}' -9n < '${TESSIVO_PACKAGING}/linux/changelog' > changelog.gz"
    DEPENDS ${TESSIVO_PACKAGING}/linux/changelog
    WORKING_DIRECTORY ${TESSIVO_PACKAGE_OUT}
    VERBATIM)
  list(APPEND TESSIVO_PACKAGE_DATA ${TESSIVO_PACKAGE_OUT}/changelog.gz)
  add_custom_target(tessivo_package_data ALL DEPENDS ${TESSIVO_PACKAGE_DATA})

  # Two packages: tessivo, the console program for every machine, display or
  # not; tessivo-gui, the dialog with what the desktop needs to find it.
  # Install rules without a COMPONENT land in the core package
  # (CMAKE_INSTALL_DEFAULT_COMPONENT_NAME, set at the top).
  install(TARGETS tessivo tessivo-modemsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # A stripped install (the packages) also drops the compiler's version
  # notes, which a program does not need at run time, as Debian's own
  # packages do.
  set(TESSIVO_DROP_NOTES "
    if(CMAKE_INSTALL_DO_STRIP)
      foreach(program @programs@)
        execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment --remove-section=.note
                        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
                        COMMAND_ERROR_IS_FATAL ANY)
      endforeach()
    endif()")
  string(REPLACE "@programs@" "tessivo tessivo-modemsim" code "${TESSIVO_DROP_NOTES}")
  install(CODE "${code}")
  # Debian's place for the licence is the copyright file; README.md goes
  # beside it, the changelog as the package's own.
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${TESSIVO_PACKAGING}/linux/copyright
                ${TESSIVO_PACKAGE_OUT}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tessivo)
  # The README links to its topics under docs/; they go beside it, so the
  # links hold in the installed copy too (the screenshots stay out).
  file(GLOB TESSIVO_DOC_PAGES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.md)
  install(FILES ${TESSIVO_DOC_PAGES} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tessivo/docs)

  # The unlock service: a template unit, installed but not enabled, whose
  # ExecStart names the program where this install puts it (known only when
  # installing: the package's prefix is /usr, cmake --install's may differ),
  # and the udev rule that starts it, as an example to fill in.
  # /usr/lib/systemd/system: where Debian 13's lintian wants units (/lib is
  # only an alias there), and a place Debian 12's systemd and lintian accept
  # as well, so one package serves both.
  set(TESSIVO_UNIT_DIR /usr/lib/systemd/system
      CACHE PATH "where the systemd unit tessivo-unlock@.service is installed")
  set(TESSIVO_UNIT_IN ${TESSIVO_PACKAGING}/linux/systemd/tessivo-unlock@.service.in)
  set(TESSIVO_UNIT_OUT ${TESSIVO_PACKAGE_OUT}/install/tessivo-unlock@.service)
  install(CODE "
    set(TESSIVO_BIN \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tessivo\")
    configure_file(\"${TESSIVO_UNIT_IN}\" \"${TESSIVO_UNIT_OUT}\" @ONLY)
  ")
  install(FILES ${TESSIVO_UNIT_OUT} DESTINATION ${TESSIVO_UNIT_DIR})
  install(FILES ${TESSIVO_PACKAGING}/linux/systemd/60-tessivo-unlock.rules
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tessivo/examples)

  set(CPACK_COMPONENTS_ALL core)
  if(TARGET tessivo-dialog)
    install(TARGETS tessivo-dialog RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT gui)
    string(REPLACE "@programs@" "tessivo-dialog" code "${TESSIVO_DROP_NOTES}")
    install(CODE "${code}" COMPONENT gui)
    install(FILES ${TESSIVO_PACKAGING}/linux/${TESSIVO_APP_ID}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT gui)
    install(FILES ${TESSIVO_PACKAGING}/linux/${TESSIVO_APP_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT gui)
    foreach(size 16 32 48 256)
      install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/tessivo-${size}.png
              DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
              RENAME ${TESSIVO_APP_ID}.png COMPONENT gui)
    endforeach()
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/tessivo.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
            RENAME ${TESSIVO_APP_ID}.svg COMPONENT gui)
    # Every Debian package carries its own copyright file.
    install(FILES ${TESSIVO_PACKAGING}/linux/copyright ${TESSIVO_PACKAGE_OUT}/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tessivo-gui COMPONENT gui)
    list(APPEND CPACK_COMPONENTS_ALL gui)
  endif()

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION comm)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # Each package has its own summary line, so the common one stays unset.
  unset(CPACK_PACKAGE_DESCRIPTION_SUMMARY)
  set(CPACK_DEBIAN_CORE_PACKAGE_NAME tessivo)
  set(CPACK_DEBIAN_CORE_DESCRIPTION
      "unlock the SIM card of a UMTS/GPRS modem
Tessivo speaks AT commands to a UMTS/GPRS USB modem (a surf stick) on a
serial port and submits the PIN of its SIM card.
.
Started as tessivo COM1 1234 (or with a device path such as
/dev/ttyUSB2) it runs silently: the speaker tells the outcome and the exit
status tells scripts what happened, so a boot script can unlock the modem.
This package needs no display and no GUI libraries, for routers and
single-board computers; the dialog is in tessivo-gui.
.
The virtual modem tessivo-modemsim is included, so Tessivo can be tried
without hardware.")
  set(CPACK_DEBIAN_GUI_PACKAGE_NAME tessivo-gui)
  set(CPACK_DEBIAN_GUI_PACKAGE_SECTION comm)
  # The dialog program is the console program's other half: same version.
  set(CPACK_DEBIAN_GUI_PACKAGE_DEPENDS "tessivo (= ${PROJECT_VERSION})")
  set(CPACK_DEBIAN_GUI_DESCRIPTION
      "unlock the SIM card of a UMTS/GPRS modem - dialog
Tessivo speaks AT commands to a UMTS/GPRS USB modem (a surf stick) on a
serial port: it shows the state of the SIM card, submits the PIN and switches
the PIN request on or off, in one small German dialog.
.
This package holds the dialog (Qt 6), its desktop entry and icons; tessivo
opens it when started without the console form's arguments.")
endif()

include(CPack)
