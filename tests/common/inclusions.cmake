# The include check refuses each way of climbing out of a folder, names the
# file, and lets through a tree whose ".." sit outside an include's path.
#   cmake -DVERIFIER=<cmake/VerifierInclusions.cmake> -DTRAVAIL=<scratch dir> -P inclusions.cmake

function(verifier arbre resultat sortie)
  execute_process(COMMAND ${CMAKE_COMMAND} -DRACINE=${arbre} -P ${VERIFIER}
    RESULT_VARIABLE r OUTPUT_VARIABLE o ERROR_VARIABLE e)
  set(${resultat} ${r} PARENT_SCOPE)
  set(${sortie} "${o}${e}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${TRAVAIL})
file(WRITE ${TRAVAIL}/propre/src/comm/Propre.cpp
  "#include \"comm/Propre.h\"\n#include <vector>\n// see ../ui for the dialogs\nconst char* p = \"../x\";\n")
verifier(${TRAVAIL}/propre r sortie)
if(NOT r EQUAL 0)
  message(FATAL_ERROR "a tree with no climbing include was refused:\n${sortie}")
endif()

set(_cas
  "src/comm/Attente.cpp|#include \"../ui/Attente.h\""
  "src/ftp/Chevron.h|#include <../common/CString.h>"
  "apps/otdr/Milieu.cpp|  #  include \"common/../ui/Attente.h\""
  "tests/ui/Windows.cpp|#include \"..\\\\ui\\\\Attente.h\"")
foreach(c ${_cas})
  string(REPLACE "|" ";" c "${c}")
  list(GET c 0 fichier)
  list(GET c 1 ligne)
  set(arbre ${TRAVAIL}/remonte)
  file(REMOVE_RECURSE ${arbre})
  file(WRITE ${arbre}/src/common/Bon.cpp "#include \"common/Bon.h\"\n")
  file(WRITE ${arbre}/${fichier} "#include <string>\n${ligne}\n")
  verifier(${arbre} r sortie)
  if(r EQUAL 0)
    message(FATAL_ERROR "not refused: '${ligne}' in ${fichier}")
  endif()
  if(NOT sortie MATCHES "${fichier}" OR sortie MATCHES "Bon.cpp")
    message(FATAL_ERROR "the refusal of '${ligne}' does not name ${fichier} alone:\n${sortie}")
  endif()
endforeach()
file(REMOVE_RECURSE ${TRAVAIL})
