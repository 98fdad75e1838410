#include "ftp/RecepteurListeFtp.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <unordered_map>

#include "common/CChaineUTF8.h"
#include "common/Conversions.h"
#include "ftp/AnalyseListeFtp.h"
#include "ftp/CheminDistant.h"

namespace {

// The raw name for people: UTF-8 decoded, other bytes as \xNN. A NUL shows
// as \x00 too: messages pass through C strings, which it would end.
CString NomLisible(std::string_view octets)
{
    std::wstring r;
    size_t i = 0;
    while (i < octets.size()) {
        const unsigned char c = static_cast<unsigned char>(octets[i]);
        const size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        if (c != 0 && i + n <= octets.size() && EstUtf8Valide(octets.substr(i, n))) {
            r += Utf8ToWide(octets.data() + i, n);
            i += n;
        } else {
            wchar_t t[8];
            std::swprintf(t, 8, L"\\x%02X", c);
            r += t;
            ++i;
        }
    }
    return CString(std::move(r));
}

// Lines that hold no entry and say so: blank, or the "total N" header of ls -l.
bool LigneSansEntree(std::string_view ligne)
{
    const size_t debut = ligne.find_first_not_of(" \t");
    if (debut == std::string_view::npos)
        return true;
    ligne.remove_prefix(debut);
    if (ligne.substr(0, 6) != "total ")
        return false;
    ligne.remove_prefix(6);
    return !ligne.empty() && ligne.find_first_not_of("0123456789") == std::string_view::npos;
}

uint64_t HashTexte(const std::wstring& s)
{
    return HashFtp(std::string_view(reinterpret_cast<const char*>(s.data()), s.size() * sizeof(wchar_t)));
}

} // namespace

CString DepuisFil(std::string_view octets)
{
    return CString(Utf8ToWide(octets.data(), CChaineUTF8::ReparerFin(octets.data(), octets.size())));
}

uint64_t HashFtp(std::string_view s)
{
    // FNV-1a over eight bytes at a time: each step is a bijection of the
    // state, so names of one length that differ in one word never meet.
    uint64_t h = 1469598103934665603ull ^ s.size();
    size_t i = 0;
    for (uint64_t mot = 0; i + 8 <= s.size(); i += 8) {
        std::memcpy(&mot, s.data() + i, 8);
        h = (h ^ mot) * 1099511628211ull;
        h ^= h >> 29;
    }
    for (; i < s.size(); ++i)
        h = (h ^ static_cast<unsigned char>(s[i])) * 1099511628211ull;
    return h;
}

void RecevoirBlocListe(const char* pDonnees, size_t nTaille, std::string& strReste,
                       CSessionFtp::IRecepteurListe& recepteur)
{
    const char* debut = pDonnees;
    const char* const fin = pDonnees + nTaille;
    while (debut < fin) {
        const char* nl = static_cast<const char*>(std::memchr(debut, '\n', static_cast<size_t>(fin - debut)));
        if (!nl) {
            strReste.append(debut, fin);
            return;
        }
        const char* ligne = debut;
        size_t nLongueur = static_cast<size_t>(nl - debut);
        if (!strReste.empty()) {
            strReste.append(debut, nLongueur);
            ligne = strReste.data();
            nLongueur = strReste.size();
        }
        if (nLongueur > 0 && ligne[nLongueur - 1] == '\r')
            --nLongueur;
        recepteur.Ligne(ligne, nLongueur);
        strReste.clear();
        debut = nl + 1;
    }
}

void RecevoirFinListe(std::string& strReste, CSessionFtp::IRecepteurListe& recepteur)
{
    if (!strReste.empty() && strReste.back() == '\r')
        strReste.pop_back();
    recepteur.Ligne(strReste.data(), strReste.size());
}

void CRecepteurListeFtp::Debut(bool bMlsd)
{
    if (m_pListe)
        m_pListe->RemoveAll();
    if (m_pCache)
        m_pCache->cles.clear();
    if (m_pIdentites)
        m_pIdentites->clear();
    m_douteux.clear();
    m_donnes.clear();
    m_inutilisables.clear();
    m_illisibles.clear();
    m_bMlsd = bMlsd;
    if (!bMlsd)
        DateDuJourUtc(m_nAnnee, m_nMois, m_nJour);
}

void CRecepteurListeFtp::Ligne(const char* pLigne, size_t nLongueur)
{
    tEntreeListeFtp e;
    const std::string_view ligne(pLigne, nLongueur);
    const bool bLue = m_bMlsd ? AnalyserLigneMlsd(ligne, e) : AnalyserLigneList(ligne, e, m_nAnnee, m_nMois, m_nJour);
    if (!bLue) {
        if (m_illisibles.size() < 100 && !LigneSansEntree(ligne))
            m_illisibles.push_back(NomLisible(ligne));
        return;
    }
    if (!NomRecevable(e.strNom)) {
        m_inutilisables.push_back(NomLisible(e.strNom));
        return;
    }
    if (m_pBrute) {
        LigneBrute(e);
        return;
    }
    CString nom = DepuisFil(e.strNom);
    const bool bSpecial = e.strNom == "." || e.strNom == "..";
    // Decoding can still make a name unusable (".." followed by a cut character).
    if (!bSpecial && !CheminDistant::NomSur(static_cast<const std::wstring&>(nom))) {
        m_inutilisables.push_back(NomLisible(e.strNom));
        return;
    }
    const int64_t nDate = DateUtcFtp(e);
    const bool bExact = EstUtf8Valide(e.strNom);
    tInfosFichierFtp infos(std::move(nom), FormaterDateFtp(e), AttributsFtp(e), e.nTaille, nDate);
    if (m_pListe) {
        if (!bExact)
            m_douteux.push_back({m_pListe->m_nNombre, std::string(e.strNom), tInfosFichierFtp(), tEntreeListeFtp(), std::string()});
        m_pListe->Add(std::move(infos));
        m_pCache->cles.push_back({HashFtp(e.strNom), m_bMlsd ? nDate : 0, e.nTaille});
        if (m_pIdentites)
            m_pIdentites->emplace_back(e.strUnique);
    } else if (bExact) {
        m_donnes.push_back(HashTexte(infos.m_strNom));
        (*m_pFonction)(infos);
    } else {
        // Held back until the end, when it is known whether another name meets it.
        m_douteux.push_back({-1, std::string(e.strNom), std::move(infos), tEntreeListeFtp(), std::string()});
    }
}

void CRecepteurListeFtp::LigneBrute(const tEntreeListeFtp& e)
{
    // Well-formed UTF-8 decodes exactly: the bytes are the name's text.
    if (EstUtf8Valide(e.strNom)) {
        m_donnes.push_back(HashFtp(e.strNom));
        (*m_pBrute)(e);
        return;
    }
    const CString nom = DepuisFil(e.strNom);
    if (!CheminDistant::NomSur(static_cast<const std::wstring&>(nom))) {
        m_inutilisables.push_back(NomLisible(e.strNom));
        return;
    }
    // Held back until the end, when it is known whether another name meets it.
    tDouteux d{-1, std::string(e.strNom), tInfosFichierFtp(), e, WideToUtf8(nom)};
    d.entree.strUnique = std::string_view();  // the line is gone by then
    m_douteux.push_back(std::move(d));
}

void CRecepteurListeFtp::TerminerBrut(std::vector<CString>& noms)
{
    std::unordered_map<std::string, int> compte;
    for (const auto& d : m_douteux)
        ++compte[d.strTexte];
    std::sort(m_donnes.begin(), m_donnes.end());
    for (auto& [texte, n] : compte)
        if (std::binary_search(m_donnes.begin(), m_donnes.end(), HashFtp(texte))) {
            ++n;
            noms.push_back(DepuisFil(texte));
        }
    for (auto& d : m_douteux) {
        if (compte[d.strTexte] > 1) {
            noms.push_back(NomLisible(d.strBrut));
        } else {
            d.entree.strNom = d.strTexte;
            (*m_pBrute)(d.entree);
        }
    }
}

void CRecepteurListeFtp::Terminer(std::vector<CString>& noms)
{
    noms.clear();
    if (m_douteux.empty())
        return;
    if (m_pBrute) {
        TerminerBrut(noms);
        return;
    }
    // How many entries have each text a doubtful name decodes to.
    std::unordered_map<std::wstring, int> compte;
    for (const auto& d : m_douteux)
        ++compte[Texte(d)];
    if (m_pListe)
        TerminerListe(compte, noms);
    else
        TerminerFonction(compte, noms);
}

void CRecepteurListeFtp::TerminerListe(std::unordered_map<std::wstring, int>& compte, std::vector<CString>& noms)
{
    for (int i = 0; i < m_pListe->m_nNombre; ++i) {
        auto it = compte.find(m_pListe->m_pElements[i].m_strNom);
        if (it != compte.end() && !Brut(i))
            ++it->second;
    }
    int nGardes = 0;
    for (int i = 0; i < m_pListe->m_nNombre; ++i) {
        tInfosFichierFtp& e = m_pListe->m_pElements[i];
        auto it = compte.find(e.m_strNom);
        if (it != compte.end() && it->second > 1) {
            const std::string* brut = Brut(i);
            noms.push_back(brut ? NomLisible(*brut) : e.m_strNom);
            continue;
        }
        if (nGardes != i) {
            m_pListe->m_pElements[nGardes] = std::move(e);
            if (m_pIdentites)
                (*m_pIdentites)[static_cast<size_t>(nGardes)] = std::move((*m_pIdentites)[static_cast<size_t>(i)]);
        }
        ++nGardes;
    }
    for (int i = nGardes; i < m_pListe->m_nNombre; ++i)
        m_pListe->m_pElements[i].~tInfosFichierFtp();
    m_pListe->m_nNombre = nGardes;
    if (m_pIdentites)
        m_pIdentites->resize(static_cast<size_t>(nGardes));
}

void CRecepteurListeFtp::TerminerFonction(std::unordered_map<std::wstring, int>& compte, std::vector<CString>& noms)
{
    // Names handed over already that a doubtful one meets: named for the caller to drop.
    std::sort(m_donnes.begin(), m_donnes.end());
    for (auto& [texte, n] : compte)
        if (std::binary_search(m_donnes.begin(), m_donnes.end(), HashTexte(texte))) {
            ++n;
            noms.push_back(CString(texte));
        }
    for (auto& d : m_douteux) {
        if (compte[d.infos.m_strNom] > 1)
            noms.push_back(NomLisible(d.strBrut));
        else
            (*m_pFonction)(d.infos);
    }
}

const std::wstring& CRecepteurListeFtp::Texte(const tDouteux& d) const
{
    return d.nIndex >= 0 ? m_pListe->m_pElements[d.nIndex].m_strNom : d.infos.m_strNom;
}

const std::string* CRecepteurListeFtp::Brut(int i) const
{
    for (const auto& d : m_douteux)
        if (d.nIndex == i)
            return &d.strBrut;
    return nullptr;
}
