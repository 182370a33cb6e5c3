# Installing Nuvora like a Linux program. The install prefix is the program folder (/opt/nuvora
# by default): the programs find their language files, icon, settings and port aliases beside
# themselves, so those stay together there. The pieces the desktop and the shell look for (links
# on the PATH, the menu entry, theme icons, metainfo, manual pages, completion) go to the system
# prefix. An installed program folder is read-only for users: settings then go to each user's
# configuration folder.
if(NOT UNIX OR APPLE)
  return()
endif()

if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX /opt/nuvora CACHE PATH "Nuvora's program folder" FORCE)
endif()
set(NUVORA_SYSTEM_PREFIX /usr CACHE PATH
    "Where the PATH links, desktop entry, icons, metainfo, manual pages and completion go")
set(NUVORA_APP_ID org.nuvora.Nuvora)
set(NUVORA_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(NUVORA_GENERATED_DIR ${CMAKE_BINARY_DIR}/packaging)
set(share ${NUVORA_SYSTEM_PREFIX}/share)

# The program folder.
install(TARGETS nuvora-cli DESTINATION .)
if(TARGET nuvora-devsim)
  install(TARGETS nuvora-devsim DESTINATION .)
endif()
install(FILES ${NUVORA_DATA} DESTINATION .)

# Links on the PATH, made at install time so that they follow a prefix given to
# `cmake --install --prefix`. The programs resolve their own folder through the link.
set(links nuvora-cli nuvora-cli)
if(TARGET nuvora-devsim)
  list(APPEND links nuvora-devsim nuvora-devsim)
endif()
if(TARGET Nuvora)
  list(APPEND links nuvora Nuvora)
endif()
install(CODE "
  set(links \"${links}\")
  while(links)
    list(POP_FRONT links name program)
    set(link \"\$ENV{DESTDIR}${NUVORA_SYSTEM_PREFIX}/bin/\${name}\")
    message(STATUS \"Installing: \${link} -> \${CMAKE_INSTALL_PREFIX}/\${program}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}${NUVORA_SYSTEM_PREFIX}/bin\")
    file(CREATE_LINK \"\${CMAKE_INSTALL_PREFIX}/\${program}\" \"\${link}\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${link}\")
  endwhile()")

# Manual pages, compressed as Debian's policy asks.
find_program(NUVORA_GZIP gzip REQUIRED)
set(pages nuvora-cli)
if(TARGET nuvora-devsim)
  list(APPEND pages nuvora-devsim)
endif()
set(page_files)
foreach(page ${pages})
  configure_file(${NUVORA_PACKAGING_DIR}/${page}.1.in ${NUVORA_GENERATED_DIR}/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${NUVORA_GENERATED_DIR}/${page}.1.gz
    COMMAND ${NUVORA_GZIP} -9nf -k ${NUVORA_GENERATED_DIR}/${page}.1
    DEPENDS ${NUVORA_GENERATED_DIR}/${page}.1
    COMMENT "Compressing ${page}.1" VERBATIM)
  list(APPEND page_files ${NUVORA_GENERATED_DIR}/${page}.1.gz)
endforeach()
add_custom_target(nuvora_man ALL DEPENDS ${page_files})
install(FILES ${page_files} DESTINATION ${share}/man/man1)

install(FILES ${NUVORA_PACKAGING_DIR}/nuvora-cli.bash
        DESTINATION ${share}/bash-completion/completions RENAME nuvora-cli)

# The window: its program, the menu entry, the theme icons drawn from its own XPM, metainfo.
if(TARGET Nuvora)
  install(TARGETS Nuvora DESTINATION .)
  install(FILES ${NUVORA_PACKAGING_DIR}/${NUVORA_APP_ID}.desktop
          DESTINATION ${share}/applications)
  install(FILES ${NUVORA_PACKAGING_DIR}/${NUVORA_APP_ID}.metainfo.xml
          DESTINATION ${share}/metainfo)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tools/icon ${CMAKE_BINARY_DIR}/tools/icon)
  set(icon_files)
  foreach(size 32 64 128)
    set(png ${NUVORA_GENERATED_DIR}/icons/${size}/${NUVORA_APP_ID}.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${NUVORA_GENERATED_DIR}/icons/${size}
      COMMAND nuvora-icon-png ${PROJECT_SOURCE_DIR}/data/VURUVEVI.ROD ${size} ${png}
      DEPENDS nuvora-icon-png ${PROJECT_SOURCE_DIR}/data/VURUVEVI.ROD
      COMMENT "Drawing the ${size}x${size} theme icon" VERBATIM)
    list(APPEND icon_files ${png})
    install(FILES ${png} DESTINATION ${share}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(nuvora_icons ALL DEPENDS ${icon_files})
endif()

# `./run package`: a Debian package of the same layout. Its Qt dependencies are read off the
# binaries by dpkg-shlibdeps, so they follow whatever Qt the build linked.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nuvora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Nuvora developers")
set(CPACK_PACKAGE_CONTACT "Nuvora developers <nuvora@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "writes S-record images into a device's EEPROM over a serial line")
set(CPACK_PACKAGE_DESCRIPTION "Nuvora loads an S-record image (S2 records) and writes it into
the EEPROM of a device over a serial line in acknowledged 16-byte frames. The package
holds the window program, the command line nuvora-cli (which can also program several
devices at once) and the device simulator nuvora-devsim.")
set(CPACK_PACKAGING_INSTALL_PREFIX /opt/nuvora)
# The links and desktop files have absolute destinations: stage them under DESTDIR.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
