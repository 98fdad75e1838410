#pragma once
// Local file paths as the FTP layer takes them: the caller's text (UTF-8 bytes
// on POSIX, UTF-16 on Windows) to a file-system path and back.

#include <cstdint>
#include <filesystem>

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

} // namespace FichiersLocaux
