#include "profile/CTexteIni.h"

#include "common/Conversions.h"

namespace {

constexpr size_t npos = std::string::npos;
const std::string BOM_UTF8 = "\xEF\xBB\xBF";

bool EstBlanc(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string Rogner(const std::string& s)
{
    size_t debut = 0, fin = s.size();
    while (debut < fin && EstBlanc(s[debut])) ++debut;
    while (fin > debut && EstBlanc(s[fin - 1])) --fin;
    return s.substr(debut, fin - debut);
}

std::string Minuscules(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

} // namespace

bool CTexteIni::EstProfil(const std::string& contenu, std::string& strRaison)
{
    if (contenu.size() > TAILLE_MAX) {
        strRaison = "it is too large for a profile (" + std::to_string(contenu.size()) + " bytes)";
        return false;
    }
    const size_t nul = contenu.find('\0');
    if (nul != npos) {
        strRaison = "it is not a text file (a NUL byte at offset " + std::to_string(nul) + ")";
        return false;
    }
    // Malformed sequences decode to U+FFFD and so do not survive the round trip.
    if (WideToUtf8(Utf8ToWide(contenu)) != contenu) {
        size_t ligne = 1;
        for (size_t debut = 0; debut < contenu.size(); ++ligne) {
            size_t fin = contenu.find('\n', debut);
            if (fin == npos) fin = contenu.size();
            const std::string l = contenu.substr(debut, fin - debut);
            if (WideToUtf8(Utf8ToWide(l)) != l) break;
            debut = fin + 1;
        }
        strRaison = "it is not UTF-8 text (line " + std::to_string(ligne) + ")";
        return false;
    }
    return true;
}

CTexteIni::CTexteIni(const std::string& contenu)
{
    size_t debut = 0;
    if (contenu.compare(0, BOM_UTF8.size(), BOM_UTF8) == 0) {
        m_strBom = BOM_UTF8;
        debut = BOM_UTF8.size();
    }
    while (debut < contenu.size()) {
        size_t fin = contenu.find('\n', debut);
        if (fin == npos) {
            m_lignes.push_back(contenu.substr(debut));
            m_bFinaleTerminee = false;
            break;
        }
        m_lignes.push_back(contenu.substr(debut, fin - debut));
        debut = fin + 1;
    }
    if (!m_lignes.empty() && !m_lignes.front().empty() && m_lignes.front().back() == '\r') m_strFinLigne = "\r\n";
}

std::vector<CTexteIni::tLigne> CTexteIni::Analyser() const
{
    std::vector<tLigne> analyse(m_lignes.size());
    size_t nSection = npos;
    for (size_t i = 0; i < m_lignes.size(); ++i) {
        const std::string l = Rogner(m_lignes[i]);
        tLigne& a = analyse[i];
        if (!l.empty() && l.front() == '[') {
            // "[name" without its bracket: what follows belongs to no section
            // that could be named, rather than to the one before.
            nSection = npos;
            if (l.back() == ']') {
                a.eType = eGenre::Section;
                a.strNom = Minuscules(Rogner(l.substr(1, l.size() - 2)));
                nSection = i;
            }
        } else if (!l.empty() && l.front() != ';' && l.front() != '#') {
            const size_t egal = l.find('=');
            if (egal != npos && egal > 0) {
                a.eType = eGenre::Cle;
                a.strNom = Minuscules(Rogner(l.substr(0, egal)));
            }
        }
        a.nSection = nSection;
    }
    return analyse;
}

size_t CTexteIni::Trouver(const std::vector<tLigne>& analyse, const std::string& section,
                          const std::string& cle) const
{
    const std::string s = Minuscules(section), c = Minuscules(cle);
    for (size_t i = 0; i < analyse.size(); ++i) {
        const tLigne& a = analyse[i];
        if (a.eType == eGenre::Cle && a.nSection != npos && a.strNom == c && analyse[a.nSection].strNom == s)
            return i;
    }
    return npos;
}

bool CTexteIni::Lire(const std::string& section, const std::string& cle, std::string& valeur) const
{
    const size_t i = Trouver(Analyser(), section, cle);
    if (i == npos) return false;
    valeur = Rogner(m_lignes[i].substr(m_lignes[i].find('=') + 1));
    return true;
}

void CTexteIni::Ecrire(const std::string& section, const std::string& cle, const std::string& valeur)
{
    const std::vector<tLigne> analyse = Analyser();
    const size_t i = Trouver(analyse, section, cle);
    if (i != npos) {
        // The key keeps its spelling, its indentation and its line ending.
        std::string& l = m_lignes[i];
        const bool bCr = !l.empty() && l.back() == '\r';
        size_t fin = l.find('=');
        while (fin > 0 && EstBlanc(l[fin - 1])) --fin;
        l = l.substr(0, fin) + " = " + valeur + (bCr ? "\r" : "");
        return;
    }
    const std::string cr = m_strFinLigne == "\r\n" ? "\r" : "";
    const std::string ligne = cle + " = " + valeur + cr;
    const std::string s = Minuscules(section);
    for (size_t j = 0; j < analyse.size(); ++j) {
        if (analyse[j].eType != eGenre::Section || analyse[j].strNom != s) continue;
        // After the section's last key (comments before the next header stay
        // with that header).
        size_t apres = j;
        for (size_t k = j + 1; k < analyse.size() && analyse[k].nSection == j; ++k)
            if (analyse[k].eType == eGenre::Cle) apres = k;
        if (apres + 1 == m_lignes.size()) m_bFinaleTerminee = true;
        m_lignes.insert(m_lignes.begin() + static_cast<std::ptrdiff_t>(apres + 1), ligne);
        return;
    }
    if (!m_lignes.empty() && !Rogner(m_lignes.back()).empty()) m_lignes.push_back(cr);
    m_lignes.push_back("[" + section + "]" + cr);
    m_lignes.push_back(ligne);
    m_bFinaleTerminee = true;
}

void CTexteIni::Supprimer(const std::string& section, const std::string& cle)
{
    for (;;) {
        const size_t i = Trouver(Analyser(), section, cle);
        if (i == npos) return;
        m_lignes.erase(m_lignes.begin() + static_cast<std::ptrdiff_t>(i));
        if (i == m_lignes.size()) m_bFinaleTerminee = true;
    }
}

std::string CTexteIni::Texte() const
{
    std::string s = m_strBom;
    for (size_t i = 0; i < m_lignes.size(); ++i) {
        s += m_lignes[i];
        if (i + 1 < m_lignes.size() || m_bFinaleTerminee) s += '\n';
    }
    return s;
}
