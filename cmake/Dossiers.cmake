# The source folders form a one-way stack (common at the bottom, then comm, ftp
# and profile, then ui, then driver, then ui/qt). Each folder is an object
# library that sees only its own headers and those of the folders it is built
# on: its include root holds forwarding headers for its own files only, so an
# include that reaches up the stack is "file not found" at compile time.
#
#   otdr_dossier(<name> DIR <src subfolder> [DEPENDS <names...>] SOURCES <files...>)
#
# makes otdr_<name> (OBJECT) and otdr_<name>_entetes (INTERFACE: the include
# root, and those of DEPENDS).

set(OTDR_INCLUDE_ROOT ${PROJECT_BINARY_DIR}/include)

# An include that climbs with "../" would step around the include roots: every
# build looks for one before compiling the folders, and fails naming the file.
add_custom_target(otdr_inclusions
  COMMAND ${CMAKE_COMMAND} -DRACINE=${PROJECT_SOURCE_DIR} -P ${CMAKE_CURRENT_LIST_DIR}/VerifierInclusions.cmake
  COMMENT "Checking that no #include climbs with '../'"
  VERBATIM)

# Writes <root>/<rel> as a header that includes the real one; rewritten only
# when its text changes, so builds stay incremental.
function(otdr_entete_relais racine relatif)
  set(_texte "#pragma once\n#include \"${PROJECT_SOURCE_DIR}/src/${relatif}\"\n")
  set(_fichier ${racine}/${relatif})
  if(EXISTS ${_fichier})
    file(READ ${_fichier} _ancien)
    if(_ancien STREQUAL _texte)
      return()
    endif()
  endif()
  file(WRITE ${_fichier} "${_texte}")
endfunction()

function(otdr_dossier name)
  cmake_parse_arguments(D "" "DIR" "DEPENDS;SOURCES" ${ARGN})
  set(_racine ${OTDR_INCLUDE_ROOT}/${name})
  file(GLOB _entetes CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}/src
    ${PROJECT_SOURCE_DIR}/src/${D_DIR}/*.h)
  foreach(h ${_entetes})
    otdr_entete_relais(${_racine} ${h})
  endforeach()

  add_library(otdr_${name}_entetes INTERFACE)
  target_include_directories(otdr_${name}_entetes INTERFACE ${_racine})
  foreach(d ${D_DEPENDS})
    target_link_libraries(otdr_${name}_entetes INTERFACE otdr_${d}_entetes)
  endforeach()

  add_library(otdr_${name} OBJECT ${D_SOURCES})
  add_dependencies(otdr_${name} otdr_inclusions)
  target_link_libraries(otdr_${name} PUBLIC otdr_${name}_entetes Threads::Threads)
  otdr_warnings(otdr_${name})
endfunction()

# The headers a host includes, installed under include/otdrdriver/ and the only
# ones the apps and an installed host see. Paths are relative to src/.
set(OTDR_ENTETES_PUBLICS
  common/Export.h
  common/CString.h
  common/Conversions.h
  profile/Profil.h
  profile/ClesProfil.h
  profile/CProfilIni.h
  profile/CProfilMemoire.h
  comm/TraceCom.h
  comm/SondeAppareils.h
  ftp/CFTPDirect.h
  ftp/AnalyseListeFtp.h
  ftp/InfosFichierFtp.h
  ftp/CVectorFast.h
  ftp/CheminDistant.h
  ftp/CParcoursDistant.h
  ftp/CSynchroDistante.h
  ftp/CMoteurTransferts.h
  ui/Attente.h
  driver/COtdrDriver.h
  driver/IdentifiantsFtp.h)
set(OTDR_ENTETES_PUBLICS_QT
  ui/qt/ExportQt.h
  ui/qt/FrontalQt.h)

function(otdr_entetes_publics racine)
  foreach(h ${ARGN})
    otdr_entete_relais(${racine} ${h})
  endforeach()
endfunction()
