# Refuses an #include whose path climbs with "..": the folders are a one-way
# stack (Dossiers.cmake), and a relative climb would step around the include
# roots that keep it so. Every build runs it; it fails naming each file.
#
#   cmake -DRACINE=<source tree> -P VerifierInclusions.cmake

if(NOT RACINE)
  message(FATAL_ERROR "usage: cmake -DRACINE=<source tree> -P VerifierInclusions.cmake")
endif()

set(_motifs)
foreach(dossier src apps tests bench fuzz tools)
  foreach(ext h hpp c cc cpp inc)
    list(APPEND _motifs ${RACINE}/${dossier}/*.${ext})
  endforeach()
endforeach()
file(GLOB_RECURSE _fichiers LIST_DIRECTORIES false ${_motifs})

# "..", then a slash or a backslash, anywhere in the included path.
set(_climb "^[ \t]*#[ \t]*include[ \t]*[<\"][^>\"]*\\.\\.[/\\\\]")
set(_fautes)
foreach(f ${_fichiers})
  file(STRINGS ${f} _lignes REGEX "${_climb}")
  foreach(l ${_lignes})
    file(RELATIVE_PATH _rel ${RACINE} ${f})
    string(STRIP "${l}" l)
    list(APPEND _fautes "  ${_rel}: ${l}")
  endforeach()
endforeach()

if(_fautes)
  list(JOIN _fautes "\n" _texte)
  message(FATAL_ERROR "an #include climbs out of its folder with '..' "
    "(include the header by its folder instead, e.g. \"ui/Attente.h\", from a folder "
    "built on that one):\n${_texte}")
endif()
