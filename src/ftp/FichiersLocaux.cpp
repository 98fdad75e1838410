#include "ftp/FichiersLocaux.h"

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdio>

#if defined(_WIN32)
#include <sys/utime.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

#include "common/Conversions.h"

namespace fs = std::filesystem;

namespace {

uint64_t Fnv1a(uint64_t h, const void* p, size_t n)
{
    const unsigned char* o = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; ++i) {
        h ^= o[i];
        h *= 1099511628211ull;
    }
    return h;
}

} // namespace

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

CString NomPartiel(const CString& strNom, uint64_t nTaille, int64_t nDate)
{
    const std::string nom = WideToUtf8(strNom);
    uint64_t h = Fnv1a(14695981039346656037ull, nom.data(), nom.size() + 1);
    h = Fnv1a(h, &nTaille, sizeof nTaille);
    h = Fnv1a(h, &nDate, sizeof nDate);
    char texte[40];
    std::snprintf(texte, sizeof texte, ".otdr-r%016" PRIx64 ".part", h);
    return CString(Utf8ToWide(texte));
}

bool EstNomPartiel(const CString& strNom)
{
    const std::string n = WideToUtf8(strNom);
    if (n.size() != 28 || n.compare(0, 7, ".otdr-r") != 0 || n.compare(23, 5, ".part") != 0)
        return false;
    return std::all_of(n.begin() + 7, n.begin() + 23, [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

void Dater(const fs::path& chemin, int64_t nDateUtc)
{
#if defined(_WIN32)
    struct _utimbuf t{static_cast<time_t>(nDateUtc), static_cast<time_t>(nDateUtc)};
    _wutime(chemin.c_str(), &t);
#else
    struct timespec t[2];
    t[0].tv_sec = t[1].tv_sec = static_cast<time_t>(nDateUtc);
    t[0].tv_nsec = t[1].tv_nsec = 0;
    ::utimensat(AT_FDCWD, chemin.c_str(), t, 0);
#endif
}

} // namespace FichiersLocaux
