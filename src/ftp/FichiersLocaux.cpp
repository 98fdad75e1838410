#include "ftp/FichiersLocaux.h"

#include "common/Conversions.h"

namespace fs = std::filesystem;

namespace FichiersLocaux {

fs::path Chemin(const CString& texte)
{
#if defined(_WIN32)
    return fs::path(static_cast<const std::wstring&>(texte));
#else
    return fs::path(WideToUtf8(texte));
#endif
}

CString Texte(const fs::path& chemin)
{
#if defined(_WIN32)
    return CString(chemin.wstring());
#else
    return CString(Utf8ToWide(chemin.string()));
#endif
}

} // namespace FichiersLocaux
