#pragma once
// Local file paths as the FTP layer takes them: the caller's text (UTF-8 bytes
// on POSIX, UTF-16 on Windows) to a file-system path and back.

#include <cstdint>
#include <filesystem>
#include <set>

#include "common/CString.h"

namespace FichiersLocaux {

std::filesystem::path Chemin(const CString& strTexte);
CString Texte(const std::filesystem::path& chemin);

// Gives the file that time (seconds since 1970, UTC), as its access and
// modification times.
void Dater(const std::filesystem::path& chemin, int64_t nDateUtc);

// The partial file of a resumable download (CFTPDirect::GetFileListe) of the
// file strNom of that size and time: ".otdr-r<16 hex digits>.part", named
// after the version being fetched so that it only ever goes on with its bytes.
CString NomPartiel(const CString& strNom, uint64_t nTaille, int64_t nDate);
// True for the names NomPartiel gives.
bool EstNomPartiel(const CString& strNom);

// True for the names of whole-file download temporaries (".otdr-<8 hex digits>.part").
bool EstNomTemporaire(const CString& strNom);

// The temporaries of this library are told from a user's file of the same
// name by a mark (an extended attribute) set when they are made, and from
// those another run is writing by a lock held while they are open (flock,
// released however the run ends). Marque marks and locks the file open as fd;
// false when the file system keeps no mark (then no run ever removes it).
bool Marquer(int fd);

// What NettoyerTemporaires removes: whole-file download temporaries only
// (any command), or resumable partial files too (a sync that has walked the
// directory).
enum class tTemporaires { Telechargements, Tous };
// Removes from a directory the marked temporaries no run is writing, but those in garder.
void NettoyerTemporaires(const std::filesystem::path& dossier, tTemporaires genre,
                         const std::set<std::filesystem::path>& garder = {});
// Whether an existing file carries the mark (a partial file this library made).
bool EstMarque(const std::filesystem::path& chemin);

} // namespace FichiersLocaux
