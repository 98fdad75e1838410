#include "ui/PanneauLocal.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "common/Conversions.h"
#include "ui/TextesTransfert.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace PanneauLocal {

fs::path Chemin(const CString& strTexte)
{
#ifdef _WIN32
    return fs::path(static_cast<const std::wstring&>(strTexte));
#else
    return fs::path(WideToUtf8(strTexte));
#endif
}

CString Texte(const fs::path& chemin)
{
#ifdef _WIN32
    CString s(chemin.wstring());
    std::replace(s.begin(), s.end(), L'\\', L'/');
    return s;
#else
    return CString(Utf8ToWide(chemin.native()));
#endif
}

namespace {

CString AvecBarreFinale(CString s)
{
    if (s.IsEmpty() || s.back() != L'/')
        s += L'/';
    return s;
}

bool HeureModification(const fs::path& chemin, std::time_t& t)
{
#ifdef _WIN32
    std::error_code ec;
    const auto ft = fs::last_write_time(chemin, ec);
    if (ec)
        return false;
    // C++17 has no clock_cast: carry the offset between the two clocks over.
    const auto sys = std::chrono::system_clock::now() +
                     std::chrono::duration_cast<std::chrono::system_clock::duration>(
                         ft - fs::file_time_type::clock::now());
    t = std::chrono::system_clock::to_time_t(sys);
    return true;
#else
    struct stat st {};
    if (::stat(chemin.c_str(), &st) != 0)
        return false;
    t = st.st_mtime;
    return true;
#endif
}

} // namespace

CString RepertoireMaison()
{
#ifdef _WIN32
    const char* maison = std::getenv("USERPROFILE");
#else
    const char* maison = std::getenv("HOME");
#endif
    if (maison && *maison) {
        std::error_code ec;
        const fs::path p(maison);
        if (fs::is_directory(p, ec))
            return AvecBarreFinale(Texte(p));
    }
    return CString(L"/");
}

CString RepertoireParDefaut()
{
    return RepertoireMaison();
}

bool Lister(const CString& strRep, tContenuLocal& contenu)
{
    contenu.m_vecRepertoires.clear();
    contenu.m_vecFichiers.clear();
    if (strRep.IsEmpty())
        return false;
    const fs::path rep = Chemin(strRep);
    // A relative text (a stored "c:/" on POSIX) would name a directory below
    // wherever the host happens to run: not one the user chose.
    if (!rep.is_absolute())
        return false;
    std::error_code ec;
    fs::directory_iterator it(rep, fs::directory_options::none, ec);
    if (ec)
        return false;
    // The file system's ".." entry, which the iterator leaves out.
    if (Parent(strRep) != strRep)
        contenu.m_vecRepertoires.push_back(CString(L".."));
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        const fs::directory_entry& e = *it;
        const CString strNom = Texte(e.path().filename());
        std::error_code ecType;
        if (e.is_directory(ecType)) {
            contenu.m_vecRepertoires.push_back(strNom);
            continue;
        }
        tFichierLocal f;
        f.m_strNom = strNom;
        std::error_code ecTaille;
        const auto n = e.is_regular_file(ecTaille) ? e.file_size(ecTaille) : 0;
        f.m_nTaille = ecTaille ? 0 : static_cast<uint64_t>(n);
        std::time_t t = 0;
        const bool bDate = HeureModification(e.path(), t);
        f.m_strDate = bDate ? TextesTransfert::TexteDate(t) : CString(L"Unknown");
        f.m_nDateUtc = bDate ? static_cast<long long>(t) : 0;
        contenu.m_vecFichiers.push_back(std::move(f));
    }
    return true;
}

bool ListerAvecRepli(CString& strRep, tContenuLocal& contenu)
{
    if (Lister(strRep, contenu))
        return true;
    strRep = RepertoireMaison();
    if (Lister(strRep, contenu))
        return true;
    strRep = L"/";
    return Lister(strRep, contenu);
}

std::vector<CString> Lecteurs()
{
    return {CString(L"[-/-]"), CString(L"[-~-]")};
}

CString LecteurDe(const CString& strRep)
{
    const CString strMaison = RepertoireMaison();
    if (strMaison != L"/" && strRep.compare(0, strMaison.size(), strMaison) == 0)
        return CString(L"[-~-]");
    return CString(L"[-/-]");
}

CString RepertoireDuLecteur(const CString& strLecteur)
{
    if (strLecteur == L"[-~-]")
        return RepertoireMaison();
    return CString(L"/");
}

CString Parent(const CString& strRep)
{
    CString s(strRep);
    if (!s.IsEmpty() && s.back() == L'/')
        s.pop_back();
    const int n = s.ReverseFind(L'/');
    if (n < 0)
        return strRep;
    return s.Left(n + 1);
}

namespace {

bool Echec(const std::error_code& ec, CString* pstrRaison)
{
    if (pstrRaison)
        *pstrRaison = ec ? CString(Utf8ToWide(ec.message())) : CString();
    return false;
}

} // namespace

bool CreerRepertoire(const CString& strChemin, CString* pstrRaison)
{
    std::error_code ec;
    if (fs::create_directory(Chemin(strChemin), ec) && !ec)
        return true;
    if (!ec)
        ec = std::make_error_code(std::errc::file_exists);
    return Echec(ec, pstrRaison);
}

namespace {

// Removes a file (bRepertoire false: never a directory) or an empty directory
// or a link to one (bRepertoire true): fs::remove takes nothing else.
bool Supprimer(const CString& strChemin, CString* pstrRaison, bool bRepertoire)
{
    std::error_code ec;
    const fs::path p = Chemin(strChemin);
    const auto st = fs::symlink_status(p, ec);
    const bool bEstRepertoire = fs::is_directory(st) || (bRepertoire && fs::is_symlink(st));
    if (!ec && bEstRepertoire != bRepertoire)
        ec = std::make_error_code(bRepertoire ? std::errc::not_a_directory : std::errc::is_a_directory);
    if (!ec && fs::remove(p, ec) && !ec)
        return true;
    if (!ec)
        ec = std::make_error_code(std::errc::no_such_file_or_directory);
    return Echec(ec, pstrRaison);
}

} // namespace

bool SupprimerFichier(const CString& strChemin, CString* pstrRaison)
{
    return Supprimer(strChemin, pstrRaison, false);
}

bool Renommer(const CString& strDe, const CString& strVers, CString* pstrRaison)
{
    std::error_code ec;
    const fs::path de = Chemin(strDe), vers = Chemin(strVers);
    // rename() would replace a file of that name without a word.
    if (fs::exists(fs::symlink_status(vers, ec)))
        return Echec(std::make_error_code(std::errc::file_exists), pstrRaison);
    fs::rename(de, vers, ec);
    return !ec || Echec(ec, pstrRaison);
}

bool SupprimerRepertoire(const CString& strChemin, CString* pstrRaison)
{
    return Supprimer(strChemin, pstrRaison, true);
}

bool InfosFichier(const CString& strChemin, uint64_t& nTaille, long long& nDateUtc)
{
    std::error_code ec;
    const fs::path p = Chemin(strChemin);
    const auto st = fs::status(p, ec);
    if (ec || !fs::exists(st) || fs::is_directory(st))
        return false;
    const auto n = fs::is_regular_file(st) ? fs::file_size(p, ec) : 0;
    nTaille = ec ? 0 : static_cast<uint64_t>(n);
    std::time_t t = 0;
    nDateUtc = HeureModification(p, t) ? static_cast<long long>(t) : 0;
    return true;
}

bool EstRepertoire(const CString& strChemin)
{
    std::error_code ec;
    return fs::is_directory(Chemin(strChemin), ec);
}

bool EstLien(const CString& strChemin)
{
    std::error_code ec;
    CString s(strChemin);
    if (s.size() > 1 && s.back() == L'/')
        s.pop_back();
    return fs::is_symlink(fs::symlink_status(Chemin(s), ec));
}

CString Canonique(const CString& strChemin)
{
    std::error_code ec;
    const fs::path p = fs::canonical(Chemin(strChemin), ec);
    if (ec)
        return CString();
    return AvecBarreFinale(Texte(p));
}

} // namespace PanneauLocal
