# Installation: the libraries, the public headers under include/otdrdriver/,
# an exported CMake package (find_package(otdrdriver) -> otdrdriver::core and,
# when built, otdrdriver::qt) and a pkg-config file.
include(CMakePackageConfigHelpers)

set(_otdr_targets otdrdriver_core)
set(OTDR_PACKAGE_HAS_QT OFF)
if(TARGET otdrdriver_qt)
  list(APPEND _otdr_targets otdrdriver_qt)
  set(OTDR_PACKAGE_HAS_QT ON)
endif()

install(TARGETS ${_otdr_targets}
  EXPORT otdrdriverTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/otdrdriver)

# Only what a host includes (cmake/Dossiers.cmake lists it); the rest of src/
# is the libraries' own.
set(_entetes ${OTDR_ENTETES_PUBLICS})
if(TARGET otdrdriver_qt)
  list(APPEND _entetes ${OTDR_ENTETES_PUBLICS_QT})
endif()
foreach(h ${_entetes})
  get_filename_component(_dossier ${h} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/src/${h} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/otdrdriver/${_dossier})
endforeach()

install(EXPORT otdrdriverTargets
  NAMESPACE otdrdriver::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/otdrdriver)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/otdrdriverConfig.cmake.in
  ${PROJECT_BINARY_DIR}/otdrdriverConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/otdrdriver)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/otdrdriverConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/otdrdriverConfig.cmake ${PROJECT_BINARY_DIR}/otdrdriverConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/otdrdriver)

# The prefix is written relative to the .pc file, so the install can be moved.
file(RELATIVE_PATH OTDR_PC_VERS_PREFIX "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
string(REGEX REPLACE "/$" "" OTDR_PC_VERS_PREFIX "${OTDR_PC_VERS_PREFIX}")
# The run-time path comes along, so a host built with these flags starts without
# LD_LIBRARY_PATH; not for the system's own library directory (a package), which
# the loader searches anyway.
set(OTDR_PC_RPATH "-Wl,-rpath,\${libdir} ")
if(CMAKE_INSTALL_FULL_LIBDIR IN_LIST CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES)
  set(OTDR_PC_RPATH "")
endif()
set(_pcs otdrdriver)
if(TARGET otdrdriver_qt)
  list(APPEND _pcs otdrdriver-qt)
endif()
foreach(pc ${_pcs})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/${pc}.pc.in ${PROJECT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()

# Unattended collection on one machine: a templated sync service and its timer
# (otdr-sync@NAME reads /etc/otdr/NAME.conf), and the system user they run as.
# Under /usr/local the system's managers find them as well as under /usr.
set(OTDR_SYSTEMD_UNITDIR "lib/systemd/system" CACHE STRING "Where the systemd units go (relative: under the prefix)")
set(OTDR_SYSUSERSDIR "lib/sysusers.d" CACHE STRING "Where the system user's sysusers.d file goes (relative: under the prefix)")
foreach(u otdr-sync@.service otdr-sync@.timer)
  configure_file(${PROJECT_SOURCE_DIR}/deploy/systemd/${u}.in ${PROJECT_BINARY_DIR}/systemd/${u} @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/systemd/${u} DESTINATION ${OTDR_SYSTEMD_UNITDIR})
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/deploy/systemd/otdr.sysusers DESTINATION ${OTDR_SYSUSERSDIR} RENAME otdr.conf)

# The command-line tool's manual page and bash completion (the packages take
# them from these places).
if(TARGET otdr)
  install(FILES ${PROJECT_SOURCE_DIR}/apps/otdr/otdr.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/apps/otdr/otdr.bash-completion
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions RENAME otdr)
endif()
