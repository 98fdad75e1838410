// The profile store (CTexteIni, CProfilIni on a real file): the input is the
// file; its first line, read as UTF-8, is also a value to write, under the
// key its second line names before any "=" (else a key of the driver's).
//
// Invariants: a text read and written back unchanged is byte-identical; a
// file that is not a profile (not UTF-8, NUL bytes) reads as empty and is
// never written; a value written reads back as written, and the write changes
// one line or adds the key (and its section), nothing else; names and values
// the layout cannot hold are refused and the file stays as it was; a key
// removed reads as absent.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Invariant.h"
#include "common/Conversions.h"
#include "profile/CProfilIni.h"
#include "profile/CTexteIni.h"
#include "profile/ClesProfil.h"

namespace fs = std::filesystem;

namespace {

struct tCle
{
    const wchar_t* section;
    const wchar_t* cle;
};

const tCle CLES[] = {
    {ClesProfil::SECTION_DRIVER, ClesProfil::ADRESSE_IP},  {ClesProfil::SECTION_DRIVER, ClesProfil::PORT},
    {ClesProfil::SECTION_DRIVER, ClesProfil::FTP_PORT},    {ClesProfil::SECTION_DRIVER, ClesProfil::FTP_PASSWORD},
    {ClesProfil::SECTION_FTPDIRECT, ClesProfil::REP_LOCAL}, {ClesProfil::SECTION_FTPDIRECT, ClesProfil::REP_DISTANT},
};
const wchar_t* const ABSENT = L"\x1F(absent)";

// Writes go through fsync: in memory they cost nothing.
const fs::path& Fichier()
{
    static const fs::path chemin = [] {
        const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string modele = (base / "otdr-fuzz-profil-XXXXXX").string();
        VERIFIER(::mkdtemp(modele.data()) != nullptr);
        static const std::string dossier = modele;
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(dossier, ec);
        });
        return fs::path(modele) / "profile.ini";
    }();
    return chemin;
}

std::string Lire(const fs::path& chemin)
{
    std::ifstream f(chemin, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

void Ecrire(const fs::path& chemin, const std::string& contenu)
{
    std::ofstream(chemin, std::ios::binary | std::ios::trunc) << contenu;
}

std::vector<std::string> Lignes(const std::string& texte)
{
    std::vector<std::string> lignes;
    for (size_t debut = 0; debut < texte.size();) {
        const size_t fin = std::min(texte.find('\n', debut), texte.size());
        lignes.push_back(texte.substr(debut, fin - debut));
        debut = fin + 1;
    }
    return lignes;
}

// The lines that differ, once the common head and tail are set aside.
void Ecart(const std::string& avant, const std::string& apres, size_t& nAvant, size_t& nApres)
{
    const std::vector<std::string> a = Lignes(avant), b = Lignes(apres);
    size_t tete = 0, queue = 0;
    while (tete < a.size() && tete < b.size() && a[tete] == b[tete]) ++tete;
    while (queue < a.size() - tete && queue < b.size() - tete && a[a.size() - 1 - queue] == b[b.size() - 1 - queue])
        ++queue;
    nAvant = a.size() - tete - queue;
    nApres = b.size() - tete - queue;
}

// Line n of a text, without its line ending (and what a NUL cuts off).
std::string Ligne(const std::string& texte, size_t n)
{
    const std::vector<std::string> lignes = Lignes(texte);
    if (n >= lignes.size()) return {};
    std::string l = lignes[n].substr(0, lignes[n].find('\0'));
    if (!l.empty() && l.back() == '\r') l.pop_back();
    return l;
}

bool MemeNom(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* donnees, size_t taille)
{
    const std::string contenu(reinterpret_cast<const char*>(donnees), taille);
    VERIFIER(CTexteIni(contenu).Texte() == contenu);

    const fs::path& chemin = Fichier();
    Ecrire(chemin, contenu);
    CProfilIni profil(chemin);
    std::string raison;
    const bool bProfil = CTexteIni::EstProfil(contenu, raison);
    VERIFIER(profil.Verifier(raison) == bProfil);

    std::vector<CString> valeurs;
    for (const tCle& c : CLES) {
        valeurs.push_back(profil.GetProfileString(c.section, c.cle, ABSENT));
        if (!bProfil) VERIFIER(valeurs.back() == ABSENT);
    }

    const std::wstring valeur = Utf8ToWide(Ligne(contenu, 0));
    const std::string cleLue = Ligne(contenu, 1).substr(0, Ligne(contenu, 1).find('='));
    const tCle& choisie = CLES[taille % std::size(CLES)];
    CString cle(cleLue.empty() ? std::wstring(choisie.cle) : Utf8ToWide(cleLue));
    cle.Trim();
    const int r = profil.WriteProfileString(choisie.section, cle.c_str(), valeur.c_str());
    const std::string apres = Lire(chemin);
    if (r == 0) {
        // Refused: not a profile, a name the layout cannot hold, a line break.
        VERIFIER(apres == contenu);
        return 0;
    }
    VERIFIER(bProfil);
    VERIFIER(CTexteIni::EstProfil(apres, raison));
    VERIFIER(profil.GetProfileString(choisie.section, cle.c_str(), ABSENT) == valeur);
    size_t nAvant = 0, nApres = 0;
    Ecart(contenu, apres, nAvant, nApres);
    VERIFIER(nAvant <= 1 && nApres <= 3);
    for (size_t i = 0; i < std::size(CLES); ++i)
        if (!(MemeNom(CLES[i].section, choisie.section) && MemeNom(CLES[i].cle, cle)))
            VERIFIER(profil.GetProfileString(CLES[i].section, CLES[i].cle, ABSENT) == valeurs[i]);

    VERIFIER(profil.WriteProfileString(choisie.section, cle.c_str(), nullptr) == 1);
    VERIFIER(profil.GetProfileString(choisie.section, cle.c_str(), ABSENT) == ABSENT);
    return 0;
}
