# Install layout and the Debian package.
#
# The application finds its settings, chip database and simulator beside its
# own executable, so the executables and those files stay together in one
# portable folder (BELCOR_INSTALL_APPDIR, /opt/belcor by default). Launchers in
# <prefix>/bin are relative symbolic links into that folder: the programs
# resolve /proc/self/exe and so find their files through the link. Desktop
# entry, icons, AppStream data and udev rules go under the prefix as usual.
#
#   cmake --install build --prefix /usr            # the layout of the package
#   DESTDIR=/tmp/root cmake --install build        # the same, staged
#   cpack --config build/CPackConfig.cmake         # belcor_<version>_<arch>.deb

set(BELCOR_INSTALL_APPDIR "/opt/belcor" CACHE STRING
  "Folder of the executables and the files beside them; a relative path is taken under the prefix")
set(BELCOR_INSTALL_UDEVRULESDIR "lib/udev/rules.d" CACHE STRING
  "Folder of the udev rules; a relative path is taken under the prefix")
# Date of the release that PROJECT_VERSION names, for the AppStream data.
set(BELCOR_RELEASE_DATE "2026-12-07")

set(belcor_packaging ${CMAKE_SOURCE_DIR}/packaging)
set(belcor_appdir ${BELCOR_INSTALL_APPDIR})

# The portable folder.
foreach(program belcor belcor-cli belcor-station)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${belcor_appdir})
  endif()
endforeach()
if(TARGET belcor_chipdb)
  install(FILES ${BELCOR_BIN_DIR}/belcor.Dat ${BELCOR_BIN_DIR}/belcor-cli.Dat ${BELCOR_BIN_DIR}/belcor-station.Dat
          DESTINATION ${belcor_appdir})
endif()
if(TARGET belcor_sim)
  get_target_property(belcor_sim_type belcor_sim TYPE)
  if(belcor_sim_type STREQUAL "SHARED_LIBRARY")
    # Loaded with dlopen by path, never linked: no name link, no soname link.
    install(TARGETS belcor_sim LIBRARY DESTINATION ${belcor_appdir} NAMELINK_SKIP)
  endif()
endif()
install(DIRECTORY ${CMAKE_SOURCE_DIR}/sim/scenarios DESTINATION ${belcor_appdir}/sim)

# Launchers: <prefix>/bin/belcor -> ../../opt/belcor/belcor. The link is
# relative so that a staged or extracted tree works where it lies.
foreach(program belcor belcor-cli belcor-station)
  if(TARGET ${program})
    install(CODE "
      set(appdir \"${belcor_appdir}\")
      if(NOT IS_ABSOLUTE \"\${appdir}\")
        set(appdir \"\${CMAKE_INSTALL_PREFIX}/\${appdir}\")
      endif()
      set(bindir \"\${CMAKE_INSTALL_PREFIX}/bin\")
      file(RELATIVE_PATH target \"\${bindir}\" \"\${appdir}/${program}\")
      file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${bindir}\")
      message(STATUS \"Installing: \$ENV{DESTDIR}\${bindir}/${program} -> \${target}\")
      file(CREATE_LINK \"\${target}\" \"\$ENV{DESTDIR}\${bindir}/${program}\" SYMBOLIC)
      list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${bindir}/${program}\")
    ")
  endif()
endforeach()

# Desktop integration.
install(FILES ${belcor_packaging}/desktop/belcor.desktop DESTINATION share/applications)
configure_file(${belcor_packaging}/desktop/example.belcor.Belcor.metainfo.xml.in
  ${CMAKE_BINARY_DIR}/packaging/example.belcor.Belcor.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/example.belcor.Belcor.metainfo.xml DESTINATION share/metainfo)

# The icon: the application's own picture, as SVG and as PNGs rendered from it.
set(belcor_icon_svg ${CMAKE_SOURCE_DIR}/src/app/resources/belcor.svg)
set(belcor_icon_sizes 16 22 24 32 48 64 128 256)
install(FILES ${belcor_icon_svg} DESTINATION share/icons/hicolor/scalable/apps)
if(TARGET Qt6::Svg)
  add_executable(belcor-render-icon ${belcor_packaging}/tools/RenderIcon.cpp)
  target_link_libraries(belcor-render-icon PRIVATE Qt6::Gui Qt6::Svg)
  set_target_properties(belcor-render-icon PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
  set(belcor_icon_dir ${CMAKE_BINARY_DIR}/packaging/icons)
  set(belcor_icon_pngs)
  foreach(size ${belcor_icon_sizes})
    list(APPEND belcor_icon_pngs ${belcor_icon_dir}/${size}x${size}/belcor.png)
    install(FILES ${belcor_icon_dir}/${size}x${size}/belcor.png DESTINATION share/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_command(OUTPUT ${belcor_icon_pngs}
    COMMAND belcor-render-icon ${belcor_icon_svg} ${belcor_icon_dir} ${belcor_icon_sizes}
    DEPENDS belcor-render-icon ${belcor_icon_svg}
    COMMENT "Rendering the application icon")
  add_custom_target(belcor_icons ALL DEPENDS ${belcor_icon_pngs})
endif()

# udev: the programmer and its boot loader for the user at the seat.
install(FILES ${belcor_packaging}/udev/70-belcor.rules DESTINATION ${BELCOR_INSTALL_UDEVRULESDIR})

# The station service: its unit (installed disabled; the package's postinst
# makes its system user) and its settings file, a conffile.
if(TARGET belcor-station)
  install(FILES ${belcor_packaging}/systemd/belcor-station.service DESTINATION lib/systemd/system)
  install(FILES ${belcor_packaging}/systemd/station.conf DESTINATION /etc/belcor)
  install(FILES ${belcor_packaging}/systemd/belcor.sysusers DESTINATION lib/sysusers.d RENAME belcor.conf)
endif()

# Manual pages, made from the programs' --help and --version with help2man.
# Not part of "all": they are made when the tree is installed or packaged, or
# by the target belcor_man_pages.
find_program(BELCOR_HELP2MAN help2man)
find_program(BELCOR_GZIP gzip)
if(BELCOR_HELP2MAN AND BELCOR_GZIP AND TARGET belcor AND TARGET belcor-cli AND TARGET belcor-station)
  # Without OUTPUT_DIR, which each caller adds.
  set(BELCOR_MAN_PAGE_COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${BELCOR_HELP2MAN} -DGZIP=${BELCOR_GZIP}
    -DBIN_DIR=${BELCOR_BIN_DIR} -DINCLUDE_DIR=${CMAKE_SOURCE_DIR}/docs/man -DRELEASE_DATE=${BELCOR_RELEASE_DATE})
  set(belcor_man_dir ${CMAKE_BINARY_DIR}/packaging/man)
  add_custom_target(belcor_man_pages
    COMMAND ${BELCOR_MAN_PAGE_COMMAND} -DOUTPUT_DIR=${belcor_man_dir} -P ${CMAKE_SOURCE_DIR}/cmake/BelcorManPages.cmake
    DEPENDS belcor belcor-cli belcor-station
    COMMENT "Making the manual pages" VERBATIM)
  list(JOIN BELCOR_MAN_PAGE_COMMAND "\" \"" belcor_man_quoted)
  install(CODE "
    execute_process(COMMAND \"${belcor_man_quoted}\" -DOUTPUT_DIR=${belcor_man_dir}
                            -P ${CMAKE_SOURCE_DIR}/cmake/BelcorManPages.cmake RESULT_VARIABLE status)
    if(status)
      message(FATAL_ERROR \"the manual pages could not be made\")
    endif()
  ")
  install(FILES ${belcor_man_dir}/belcor.1.gz ${belcor_man_dir}/belcor-cli.1.gz DESTINATION share/man/man1)
  install(FILES ${belcor_man_dir}/belcor-station.8.gz DESTINATION share/man/man8)
else()
  message(STATUS "help2man or gzip not found: the install has no manual pages")
endif()

# Completion of belcor-cli's commands, options and chip names in bash.
install(FILES ${belcor_packaging}/bash-completion/belcor-cli DESTINATION share/bash-completion/completions)

# Documentation.
foreach(doc README.md sim/README.md docs/station-api.md docs/station-api.yaml)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${doc})
    get_filename_component(doc_dir ${doc} DIRECTORY)
    install(FILES ${CMAKE_SOURCE_DIR}/${doc} DESTINATION share/doc/belcor/${doc_dir})
  endif()
endforeach()

# The Debian package. The libraries that the programs load by file name at run
# time (libusb-0.1, hidapi) appear in no ELF header, so every dependency is
# named here. libqt6gui6 carries the xcb, offscreen and JPEG plugins; libqt6svg6
# the SVG icon engine.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME belcor)
set(CPACK_PACKAGE_VENDOR "Belcor developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Belcor developers <dev@belcor.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop application for the BelcorU2 USB chip programmer")
set(CPACK_PACKAGE_DESCRIPTION
  "Belcor reads, blank checks, erases, writes and verifies SPI flash, I2C,\nMicrowire and SPI EEPROMs and AVR microcontrollers with the BelcorU2 USB\nprogrammer, one chip at a time or in batch runs. It includes belcor-cli, a\ncommand-line front end, belcor-station, a service that runs a station's\nprogrammers for a production line over HTTP, and a programmer simulator for\ntrying it without the hardware.")
# The portable folder lies outside the prefix: stage through DESTDIR, which
# installs with CPACK_INSTALL_PREFIX as the prefix, whatever the build's own.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Belcor developers <dev@belcor.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://belcor.example/")
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libc6 (>= 2.34), libstdc++6 (>= 12), libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6svg6 (>= 6.4), libusb-0.1-4, libhidapi-hidraw0, libudev1, libcpp-httplib0.11, adduser")
# The Chinese interface needs a CJK font.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-wqy-microhei, qt6-translations-l10n")
# The chip databases are conffiles: the chip editor may change them, and an
# upgrade must then ask rather than replace the edited file.
if(IS_ABSOLUTE ${belcor_appdir})
  set(BELCOR_PACKAGE_APPDIR ${belcor_appdir})
else()
  set(BELCOR_PACKAGE_APPDIR /usr/${belcor_appdir})
endif()
set(belcor_control ${CMAKE_BINARY_DIR}/packaging/debian)
configure_file(${belcor_packaging}/debian/postrm.in ${belcor_control}/postrm @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
configure_file(${belcor_packaging}/debian/conffiles.in ${belcor_control}/conffiles @ONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${belcor_packaging}/debian/postinst ${belcor_control}/postrm ${belcor_control}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
# What Debian wants of every package: its copyright, its changelog (dated by
# the release, compressed without a time stamp) and, for the deliberate
# departures from its layout, the lintian overrides that give their reasons.
execute_process(COMMAND date -u -R -d ${BELCOR_RELEASE_DATE}
  OUTPUT_VARIABLE BELCOR_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
configure_file(${belcor_packaging}/debian/changelog.in ${belcor_control}/changelog @ONLY)
if(BELCOR_GZIP)
  execute_process(COMMAND ${BELCOR_GZIP} -9nc ${belcor_control}/changelog
    OUTPUT_FILE ${belcor_control}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
  install(FILES ${belcor_control}/changelog.gz DESTINATION share/doc/belcor)
endif()
install(FILES ${belcor_packaging}/debian/copyright DESTINATION share/doc/belcor)
install(FILES ${belcor_packaging}/debian/lintian-overrides DESTINATION share/lintian/overrides RENAME belcor)
set(CPACK_STRIP_FILES ON)
include(CPack)
