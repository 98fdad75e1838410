#pragma once
// Local file paths as the FTP layer takes them: the caller's text (UTF-8 bytes
// on POSIX, UTF-16 on Windows) to a file-system path and back.

#include <filesystem>

#include "common/CString.h"

namespace FichiersLocaux {

std::filesystem::path Chemin(const CString& strTexte);
CString Texte(const std::filesystem::path& chemin);

} // namespace FichiersLocaux
