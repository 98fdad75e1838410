#include "ftp/AnalyseListeFtp.h"

#include "ftp/CheminDistant.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

namespace {

bool EstChiffres(std::string_view s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

bool LireEntier(std::string_view s, size_t debut, size_t n, int& valeur)
{
    if (debut + n > s.size())
        return false;
    int v = 0;
    for (size_t i = debut; i < debut + n; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        v = v * 10 + (s[i] - '0');
    }
    valeur = v;
    return true;
}

bool LireTaille(std::string_view s, uint64_t& taille)
{
    if (!EstChiffres(s) || s.size() > 19)
        return false;
    uint64_t v = 0;
    for (char c : s)
        v = v * 10 + static_cast<uint64_t>(c - '0');
    taille = v;
    return true;
}

// "9730", "9,730", "1.234.567": digits in groups of three after the first,
// with one kind of separator.
bool LireTailleGroupee(std::string_view s, uint64_t& taille)
{
    const size_t sep = s.find_first_of(",.");
    if (sep == std::string_view::npos)
        return LireTaille(s, taille);
    const char c = s[sep];
    if (sep == 0 || sep > 3)
        return false;
    std::string chiffres(s.substr(0, sep));
    for (size_t i = sep; i < s.size(); i += 4) {
        if (s[i] != c || i + 4 > s.size() || !EstChiffres(s.substr(i + 1, 3)))
            return false;
        chiffres.append(s.substr(i + 1, 3));
    }
    return LireTaille(chiffres, taille);
}

int Mois(std::string_view s)
{
    static const char* const noms[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                       "jul", "aug", "sep", "oct", "nov", "dec"};
    if (s.size() < 3 || s.size() > 4)
        return 0;
    char m[4] = {};
    for (size_t i = 0; i < 3; ++i)
        m[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
    for (int i = 0; i < 12; ++i)
        if (std::memcmp(m, noms[i], 3) == 0)
            return s.size() == 3 || (s.size() == 4 && s[3] == '.') ? i + 1 : 0;
    return 0;
}

bool EstBissextile(int a) { return (a % 4 == 0 && a % 100 != 0) || a % 400 == 0; }

int JoursDuMois(int a, int m)
{
    static const int jours[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && EstBissextile(a) ? 29 : jours[m - 1];
}

// Fields of a whitespace-separated line with their offsets, so that the name
// (which may contain spaces) can be cut from the original text.
struct tChamp
{
    std::string_view strTexte;
    size_t nDebut;
    size_t nFin;
};

// At most 12 fields are ever looked at; a fixed array keeps parsing free of
// allocations (listings of thousands of lines).
struct tChamps
{
    tChamp champs[12];
    size_t n = 0;
    size_t size() const { return n; }
    const tChamp& operator[](size_t i) const { return champs[i]; }
};

tChamps Decouper(std::string_view ligne, size_t nMax)
{
    tChamps champs;
    size_t i = 0;
    while (i < ligne.size() && champs.n < nMax) {
        while (i < ligne.size() && (ligne[i] == ' ' || ligne[i] == '\t'))
            ++i;
        if (i >= ligne.size())
            break;
        const size_t debut = i;
        while (i < ligne.size() && ligne[i] != ' ' && ligne[i] != '\t')
            ++i;
        champs.champs[champs.n++] = {ligne.substr(debut, i - debut), debut, i};
    }
    return champs;
}

// The name begins after the one blank that ends the column at `fin`; further
// blanks belong to the name (" lead.sor").
std::string_view NomApres(std::string_view ligne, size_t fin)
{
    return fin + 1 <= ligne.size() ? ligne.substr(fin + 1) : std::string_view();
}

bool LireHeure(std::string_view s, int& h, int& m, int& sec)
{
    // "12:30" or "12:30:45"
    sec = 0;
    bool bLue = false;
    if (s.size() == 5 && s[2] == ':')
        bLue = LireEntier(s, 0, 2, h) && LireEntier(s, 3, 2, m);
    else if (s.size() == 4 && s[1] == ':')
        bLue = LireEntier(s, 0, 1, h) && LireEntier(s, 2, 2, m);
    else if (s.size() == 8 && s[2] == ':' && s[5] == ':')
        bLue = LireEntier(s, 0, 2, h) && LireEntier(s, 3, 2, m) && LireEntier(s, 6, 2, sec);
    return bLue && h < 24 && m < 60 && sec < 60;
}

bool AnalyserUnix(std::string_view ligne, tEntreeListeFtp& e, int anneeCourante, int moisCourant,
                  int jourCourant)
{
    const tChamps champs = Decouper(ligne, 12);
    if (champs.size() < 6)
        return false;
    const std::string_view perms = champs[0].strTexte;
    if (perms.size() < 10 || std::strchr("-dlbcpsD", perms[0]) == nullptr)
        return false;
    for (size_t i = 1; i < 10; ++i)
        if (std::strchr("rwxsStTl-", perms[i]) == nullptr)
            return false;

    // Find the date: "Mon DD HH:MM|YYYY" or "YYYY-MM-DD HH:MM". The size is the
    // field before it; owner and group columns in between vary by server.
    for (size_t k = 2; k + 1 < champs.size(); ++k) {
        const std::string_view a = champs[k].strTexte;
        const int mois = Mois(a);
        size_t finDate = 0;
        int annee = 0, jour = 0, h = 0, m = 0, s = 0;
        bool bAnnee = false;
        if (mois != 0 && k + 2 < champs.size()) {
            const std::string_view j = champs[k + 1].strTexte;
            const std::string_view t = champs[k + 2].strTexte;
            if (!EstChiffres(j) || j.size() > 2)
                continue;
            LireEntier(j, 0, j.size(), jour);
            if (t.size() == 4 && EstChiffres(t)) {
                LireEntier(t, 0, 4, annee);
                bAnnee = true;
            } else if (!LireHeure(t, h, m, s)) {
                continue;
            }
            finDate = champs[k + 2].nFin;
        } else if (a.size() == 10 && a[4] == '-' && a[7] == '-') {
            int mm = 0;
            if (!LireEntier(a, 0, 4, annee) || !LireEntier(a, 5, 2, mm) || !LireEntier(a, 8, 2, jour))
                continue;
            if (!LireHeure(champs[k + 1].strTexte, h, m, s))
                continue;
            bAnnee = true;
            finDate = champs[k + 1].nFin;
            e.nMois = mm;
        } else {
            continue;
        }
        uint64_t taille = 0;
        if (!LireTaille(champs[k - 1].strTexte, taille))
            continue;
        if (mois != 0)
            e.nMois = mois;
        if (!bAnnee) {
            // Without a year the date is within the last year: this year unless
            // that would put it in the future.
            annee = anneeCourante;
            if (e.nMois > moisCourant || (e.nMois == moisCourant && jour > jourCourant + 1))
                --annee;
        }
        std::string_view nom = NomApres(ligne, finDate);
        if (perms[0] == 'l') {
            const size_t fleche = nom.find(" -> ");
            if (fleche != std::string_view::npos)
                nom = nom.substr(0, fleche);
        }
        if (nom.empty())
            return false;
        e.strNom = nom;
        e.bRepertoire = perms[0] == 'd' || perms[0] == 'D';
        e.bLectureSeule = !e.bRepertoire && perms[2] != 'w';
        e.nTaille = taille;
        e.bDate = true;
        e.nAnnee = annee;
        e.nJour = jour;
        e.nHeure = h;
        e.nMinute = m;
        e.nSeconde = s;
        return true;
    }
    return false;
}

bool AnalyserDos(std::string_view ligne, tEntreeListeFtp& e)
{
    // IIS and other DOS-style servers:
    //   "01-31-24  03:15PM       <DIR>          Traces"   (MM-DD-YY, 12 h)
    //   "01-31-2024  15:15             1,234 a.sor"     (MM-DD-YYYY, 24 h)
    //   "2024-01-31  15:15       <DIR>          Traces"   (YYYY-MM-DD, 24 h)
    const tChamps champs = Decouper(ligne, 4);
    if (champs.size() < 4)
        return false;
    const std::string_view d = champs[0].strTexte;
    int mois = 0, jour = 0, annee = 0;
    if (d.size() == 10 && (d[4] == '-' || d[4] == '/') && d[7] == d[4]) {
        if (!LireEntier(d, 0, 4, annee) || !LireEntier(d, 5, 2, mois) || !LireEntier(d, 8, 2, jour))
            return false;
    } else if ((d.size() == 8 || d.size() == 10) && (d[2] == '-' || d[2] == '/') && d[5] == d[2]) {
        if (!LireEntier(d, 0, 2, mois) || !LireEntier(d, 3, 2, jour) || !LireEntier(d, 6, d.size() - 6, annee))
            return false;
        if (d.size() == 8)
            annee += annee < 70 ? 2000 : 1900;
    } else {
        return false;
    }
    if (mois < 1 || mois > 12 || jour < 1 || jour > 31)
        return false;
    std::string_view t = champs[1].strTexte;
    int h = 0, m = 0, s = 0;
    bool bPm = false, bAm = false;
    if (t.size() > 2) {
        const std::string_view fin = t.substr(t.size() - 2);
        if (fin == "PM" || fin == "pm")
            bPm = true;
        else if (fin == "AM" || fin == "am")
            bAm = true;
        if (bPm || bAm)
            t.remove_suffix(2);
    }
    if (!LireHeure(t, h, m, s))
        return false;
    if (bAm || bPm) {
        if (h < 1 || h > 12)
            return false;
        h = h % 12 + (bPm ? 12 : 0);
    }
    const std::string_view taille = champs[2].strTexte;
    if (taille == "<DIR>") {
        e.bRepertoire = true;
        e.nTaille = 0;
        // IIS pads "<DIR>" with ten blanks up to the name's column; blanks
        // beyond those belong to the name.
        size_t i = champs[2].nFin;
        size_t nBlancs = 0;
        while (i + nBlancs < ligne.size() && ligne[i + nBlancs] == ' ')
            ++nBlancs;
        e.strNom = ligne.substr(i + (nBlancs >= 10 ? 10 : nBlancs));
    } else {
        if (!LireTailleGroupee(taille, e.nTaille))
            return false;
        e.bRepertoire = false;
        e.strNom = NomApres(ligne, champs[2].nFin);
    }
    if (e.strNom.empty())
        return false;
    e.bLectureSeule = false;
    e.bDate = true;
    e.nAnnee = annee;
    e.nMois = mois;
    e.nJour = jour;
    e.nHeure = h;
    e.nMinute = m;
    e.nSeconde = s;
    return true;
}

} // namespace

namespace {

bool EgalSansCasse(std::string_view a, const char* b)
{
    const size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i])
            return false;
    return true;
}

} // namespace

bool AnalyserLigneMlsd(std::string_view ligne, tEntreeListeFtp& e)
{
    const size_t espace = ligne.find(' ');
    if (espace == std::string_view::npos || espace + 1 >= ligne.size())
        return false;
    e = tEntreeListeFtp();
    e.strNom = ligne.substr(espace + 1);
    bool bType = false;
    std::string_view perm;
    bool bPerm = false;
    int modeUnix = -1;
    const std::string_view faits = ligne.substr(0, espace);
    size_t i = 0;
    while (i < faits.size()) {
        size_t fin = faits.find(';', i);
        if (fin == std::string_view::npos)
            fin = faits.size();
        const std::string_view fait = faits.substr(i, fin - i);
        i = fin + 1;
        const size_t egal = fait.find('=');
        if (egal == std::string_view::npos)
            continue;
        const std::string_view cle = fait.substr(0, egal);
        const std::string_view valeur = fait.substr(egal + 1);
        if (EgalSansCasse(cle, "type")) {
            bType = true;
            e.bRepertoire = EgalSansCasse(valeur, "dir") || EgalSansCasse(valeur, "cdir") ||
                            EgalSansCasse(valeur, "pdir");
        } else if (EgalSansCasse(cle, "size")) {
            if (!LireTaille(valeur, e.nTaille))
                e.nTaille = 0;
        } else if (EgalSansCasse(cle, "modify")) {
            // YYYYMMDDHHMMSS[.sss], UTC
            e.bDate = valeur.size() >= 14 && LireEntier(valeur, 0, 4, e.nAnnee) &&
                      LireEntier(valeur, 4, 2, e.nMois) && LireEntier(valeur, 6, 2, e.nJour) &&
                      LireEntier(valeur, 8, 2, e.nHeure) && LireEntier(valeur, 10, 2, e.nMinute) &&
                      LireEntier(valeur, 12, 2, e.nSeconde);
        } else if (EgalSansCasse(cle, "unique")) {
            e.strUnique = valeur;
        } else if (EgalSansCasse(cle, "perm")) {
            perm = valeur;
            bPerm = true;
        } else if (EgalSansCasse(cle, "unix.mode")) {
            // Six octal digits at most: a longer value is not read at all.
            int v = 0;
            bool bLu = !valeur.empty() && valeur.size() <= 6;
            for (size_t k = 0; bLu && k < valeur.size(); ++k) {
                if (valeur[k] >= '0' && valeur[k] <= '7')
                    v = v * 8 + (valeur[k] - '0');
                else
                    bLu = false;
            }
            if (bLu)
                modeUnix = v;
        }
    }
    if (!bType)
        return false;
    if (!e.bRepertoire) {
        if (bPerm)
            e.bLectureSeule = perm.find_first_of("wWaA") == std::string_view::npos;
        else if (modeUnix >= 0)
            e.bLectureSeule = (modeUnix & 0200) == 0;
    }
    return true;
}

bool AnalyserLigneList(std::string_view ligne, tEntreeListeFtp& e, int anneeCourante, int moisCourant,
                       int jourCourant)
{
    e = tEntreeListeFtp();
    if (AnalyserUnix(ligne, e, anneeCourante, moisCourant, jourCourant))
        return true;
    e = tEntreeListeFtp();
    return AnalyserDos(ligne, e);
}

bool NomRecevable(std::string_view nom)
{
    if (nom == "." || nom == "..")
        return true;
    // Most names are short enough for the string's own buffer: no allocation.
    if (nom.size() < 16 || nom.find_first_of(std::string_view("/\\\0\r\n", 5)) != std::string_view::npos)
        return CheminDistant::NomSur(std::string(nom));
    return true;
}

bool EstUtf8Valide(std::string_view s)
{
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t suite;
        uint32_t v;
        if (c >= 0xC2 && c <= 0xDF) {
            suite = 1;
            v = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            suite = 2;
            v = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            suite = 3;
            v = c & 0x07;
        } else {
            return false;
        }
        for (size_t k = 1; k <= suite; ++k) {
            if (i + k >= n)
                return false;
            const unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            v = (v << 6) | (d & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF.
        if ((suite == 2 && v < 0x800) || (suite == 3 && (v < 0x10000 || v > 0x10FFFF)) ||
            (v >= 0xD800 && v <= 0xDFFF))
            return false;
        i += suite + 1;
    }
    return true;
}

std::tm EnUtc(std::time_t t)
{
    std::tm tmUtc{};
#if defined(_WIN32)
    gmtime_s(&tmUtc, &t);
#else
    gmtime_r(&t, &tmUtc);
#endif
    return tmUtc;
}

void DateDuJourUtc(int& annee, int& mois, int& jour)
{
    const std::tm tmUtc = EnUtc(std::time(nullptr));
    annee = tmUtc.tm_year + 1900;
    mois = tmUtc.tm_mon + 1;
    jour = tmUtc.tm_mday;
}

std::vector<tEntreeListeFtp> AnalyserListe(const std::string& donnees, bool bMlsd)
{
    int annee = 1970, mois = 1, jour = 1;
    if (!bMlsd)
        DateDuJourUtc(annee, mois, jour);
    std::vector<tEntreeListeFtp> entrees;
    PourChaqueLigne(donnees, [&](std::string_view ligne) {
        tEntreeListeFtp e;
        const bool bLue = bMlsd ? AnalyserLigneMlsd(ligne, e) : AnalyserLigneList(ligne, e, annee, mois, jour);
        if (bLue && NomRecevable(e.strNom))
            entrees.push_back(e);
    });
    return entrees;
}

namespace {

bool DateValide(const tEntreeListeFtp& e)
{
    return e.bDate && e.nAnnee >= 100 && e.nAnnee <= 9999 && e.nMois >= 1 && e.nMois <= 12 && e.nJour >= 1 &&
           e.nJour <= JoursDuMois(e.nAnnee, e.nMois) && e.nHeure >= 0 && e.nHeure < 24 && e.nMinute >= 0 &&
           e.nMinute < 60 && e.nSeconde >= 0 && e.nSeconde < 60;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t JoursDepuis1970(int64_t a, int m, int j)
{
    a -= m <= 2;
    const int64_t ere = (a >= 0 ? a : a - 399) / 400;
    const int64_t ae = a - ere * 400;
    const int64_t jda = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + j - 1;
    const int64_t jde = ae * 365 + ae / 4 - ae / 100 + jda;
    return ere * 146097 + jde - 719468;
}

} // namespace

int64_t DateUtcFtp(const tEntreeListeFtp& e)
{
    if (!DateValide(e))
        return 0;
    return JoursDepuis1970(e.nAnnee, e.nMois, e.nJour) * 86400 + e.nHeure * 3600 + e.nMinute * 60 + e.nSeconde;
}

CString FormaterDateFtp(const tEntreeListeFtp& e)
{
    if (!DateValide(e))
        return CString(L"Invalid DateTime");
    // Fixed layout, written digit by digit: listings of thousands of entries
    // format one date each.
    wchar_t texte[19];
    auto ecrire = [&texte](int pos, int valeur, int chiffres) {
        for (int i = chiffres - 1; i >= 0; --i) {
            texte[pos + i] = static_cast<wchar_t>(L'0' + valeur % 10);
            valeur /= 10;
        }
    };
    ecrire(0, e.nMois, 2);
    texte[2] = L'/';
    ecrire(3, e.nJour, 2);
    texte[5] = L'/';
    ecrire(6, e.nAnnee, 4);
    texte[10] = L' ';
    ecrire(11, e.nHeure, 2);
    texte[13] = L':';
    ecrire(14, e.nMinute, 2);
    texte[16] = L':';
    ecrire(17, e.nSeconde, 2);
    return CString(texte, 19);
}

CString AttributsFtp(const tEntreeListeFtp& e)
{
    if (e.bRepertoire)
        return CString(L"d");
    return CString(e.bLectureSeule ? L"r" : L"n");
}
