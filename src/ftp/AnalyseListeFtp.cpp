#include "ftp/AnalyseListeFtp.h"

#include "common/Conversions.h"
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
    // ASCII case folding: only letters can match a name below.
    const char m[3] = {static_cast<char>(s[0] | 0x20), static_cast<char>(s[1] | 0x20), static_cast<char>(s[2] | 0x20)};
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

bool Blanc(char c) { return c == ' ' || c == '\t'; }

tChamps Decouper(std::string_view ligne, size_t nMax)
{
    tChamps champs;
    const char* const debutLigne = ligne.data();
    const char* const fin = debutLigne + ligne.size();
    const char* p = debutLigne;
    while (champs.n < nMax) {
        // Columns are padded with runs of spaces: eight at a time.
        for (uint64_t mot = 0; fin - p >= 8; p += 8) {
            std::memcpy(&mot, p, 8);
            if (mot != 0x2020202020202020ull)
                break;
        }
        while (p != fin && Blanc(*p))
            ++p;
        if (p == fin)
            break;
        const char* const debut = p;
        while (p != fin && !Blanc(*p))
            ++p;
        champs.champs[champs.n++] = {std::string_view(debut, static_cast<size_t>(p - debut)),
                                     static_cast<size_t>(debut - debutLigne), static_cast<size_t>(p - debutLigne)};
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

tPrecisionDate PrecisionHeure(std::string_view s) { return s.size() == 8 ? tPrecisionDate::Seconde : tPrecisionDate::Minute; }

// A date as a LIST line gives it, before the year of a date without one is chosen.
struct tDateListe
{
    int nAnnee = 0, nMois = 0, nJour = 0, nHeure = 0, nMinute = 0, nSeconde = 0;
    bool bAnnee = false;
    tPrecisionDate ePrecision = tPrecisionDate::Aucune;
    size_t nFin = 0;  ///< offset in the line just past the date
};

bool PermissionsUnix(std::string_view perms)
{
    if (perms.size() < 10)
        return false;
    switch (perms[0]) {
    case '-': case 'd': case 'l': case 'b': case 'c': case 'p': case 's': case 'D':
        break;
    default:
        return false;
    }
    for (size_t i = 1; i < 10; ++i) {
        switch (perms[i]) {
        case 'r': case 'w': case 'x': case 's': case 'S': case 't': case 'T': case 'l': case '-':
            break;
        default:
            return false;
        }
    }
    return true;
}

// "Jan 31 12:30", "Jan 31 12:30:45" or "Jan 31 2024" from field k on.
bool LireDateMoisJour(const tChamps& champs, size_t k, int mois, tDateListe& d)
{
    if (k + 2 >= champs.size())
        return false;
    const std::string_view j = champs[k + 1].strTexte;
    const std::string_view t = champs[k + 2].strTexte;
    if (!EstChiffres(j) || j.size() > 2)
        return false;
    LireEntier(j, 0, j.size(), d.nJour);
    if (t.size() == 4 && EstChiffres(t)) {
        LireEntier(t, 0, 4, d.nAnnee);
        d.bAnnee = true;
        d.ePrecision = tPrecisionDate::Jour;
    } else if (LireHeure(t, d.nHeure, d.nMinute, d.nSeconde)) {
        d.ePrecision = PrecisionHeure(t);
    } else {
        return false;
    }
    d.nMois = mois;
    d.nFin = champs[k + 2].nFin;
    return true;
}

// "2024-01-31 12:30" (ls --time-style=long-iso and some embedded servers).
bool LireDateIso(const tChamps& champs, size_t k, tDateListe& d)
{
    const std::string_view a = champs[k].strTexte;
    if (a.size() != 10 || a[4] != '-' || a[7] != '-')
        return false;
    if (!LireEntier(a, 0, 4, d.nAnnee) || !LireEntier(a, 5, 2, d.nMois) || !LireEntier(a, 8, 2, d.nJour))
        return false;
    const std::string_view t = champs[k + 1].strTexte;
    if (!LireHeure(t, d.nHeure, d.nMinute, d.nSeconde))
        return false;
    d.bAnnee = true;
    d.ePrecision = PrecisionHeure(t);
    d.nFin = champs[k + 1].nFin;
    return true;
}

// Without a year the date is within the last year: this year unless that
// would put it more than a day in the future.
int AnneeProbable(const tDateListe& d, int anneeCourante, int moisCourant, int jourCourant)
{
    if (d.bAnnee)
        return d.nAnnee;
    if (d.nMois > moisCourant || (d.nMois == moisCourant && d.nJour > jourCourant + 1))
        return anneeCourante - 1;
    return anneeCourante;
}

void CopierDate(const tDateListe& d, tEntreeListeFtp& e)
{
    e.bDate = true;
    e.nAnnee = d.nAnnee;
    e.nMois = d.nMois;
    e.nJour = d.nJour;
    e.nHeure = d.nHeure;
    e.nMinute = d.nMinute;
    e.nSeconde = d.nSeconde;
    e.ePrecision = d.ePrecision;
}

// The name after the date; a link ("name -> target") keeps its name only.
std::string_view NomUnix(std::string_view ligne, size_t finDate, char type)
{
    std::string_view nom = NomApres(ligne, finDate);
    if (type == 'l') {
        const size_t fleche = nom.find(" -> ");
        if (fleche != std::string_view::npos)
            nom = nom.substr(0, fleche);
    }
    return nom;
}

bool AnalyserUnixChamps(std::string_view ligne, const tChamps& champs, tEntreeListeFtp& e, int anneeCourante,
                        int moisCourant, int jourCourant)
{
    if (champs.size() < 6 || !PermissionsUnix(champs[0].strTexte))
        return false;
    const std::string_view perms = champs[0].strTexte;
    // Find the date: "Mon DD HH:MM|YYYY" or "YYYY-MM-DD HH:MM". The size is the
    // field before it; owner and group columns in between vary by server.
    for (size_t k = 2; k + 1 < champs.size(); ++k) {
        tDateListe d;
        const int mois = Mois(champs[k].strTexte);
        const bool bDate = mois != 0 ? LireDateMoisJour(champs, k, mois, d) : LireDateIso(champs, k, d);
        uint64_t taille = 0;
        if (!bDate || !LireTaille(champs[k - 1].strTexte, taille))
            continue;
        d.nAnnee = AnneeProbable(d, anneeCourante, moisCourant, jourCourant);
        const std::string_view nom = NomUnix(ligne, d.nFin, perms[0]);
        if (nom.empty())
            return false;
        e.strNom = nom;
        e.bRepertoire = perms[0] == 'd' || perms[0] == 'D';
        e.bLectureSeule = !e.bRepertoire && perms[2] != 'w';
        e.nTaille = taille;
        CopierDate(d, e);
        return true;
    }
    return false;
}

// Eight fields hold the usual line up to its date (permissions, links, owner,
// group, size, month, day, time); lines with more columns are split again
// further. Either way the same date is found: the first that reads.
bool AnalyserUnix(std::string_view ligne, tEntreeListeFtp& e, int anneeCourante, int moisCourant, int jourCourant)
{
    const tChamps courts = Decouper(ligne, 8);
    if (courts.size() < 6 || !PermissionsUnix(courts[0].strTexte))
        return false;
    if (AnalyserUnixChamps(ligne, courts, e, anneeCourante, moisCourant, jourCourant))
        return true;
    return courts.size() == 8 && AnalyserUnixChamps(ligne, Decouper(ligne, 12), e, anneeCourante, moisCourant, jourCourant);
}

// "01-31-24", "01-31-2024", "2024-01-31" (or with slashes).
bool LireJourDos(std::string_view d, tDateListe& date)
{
    if (d.size() == 10 && (d[4] == '-' || d[4] == '/') && d[7] == d[4]) {
        if (!LireEntier(d, 0, 4, date.nAnnee) || !LireEntier(d, 5, 2, date.nMois) || !LireEntier(d, 8, 2, date.nJour))
            return false;
    } else if ((d.size() == 8 || d.size() == 10) && (d[2] == '-' || d[2] == '/') && d[5] == d[2]) {
        if (!LireEntier(d, 0, 2, date.nMois) || !LireEntier(d, 3, 2, date.nJour) ||
            !LireEntier(d, 6, d.size() - 6, date.nAnnee))
            return false;
        if (d.size() == 8)
            date.nAnnee += date.nAnnee < 70 ? 2000 : 1900;
    } else {
        return false;
    }
    return date.nMois >= 1 && date.nMois <= 12 && date.nJour >= 1 && date.nJour <= 31;
}

// "03:15PM", "03:15 PM" is not read (the blank splits the column), "15:15", "15:15:07".
bool LireHeureDos(std::string_view t, tDateListe& date)
{
    int demi = 0;  // 0: 24 h clock, 1: AM, 2: PM
    if (t.size() > 2) {
        const std::string_view fin = t.substr(t.size() - 2);
        if (fin == "PM" || fin == "pm")
            demi = 2;
        else if (fin == "AM" || fin == "am")
            demi = 1;
        if (demi != 0)
            t.remove_suffix(2);
    }
    if (!LireHeure(t, date.nHeure, date.nMinute, date.nSeconde))
        return false;
    date.ePrecision = PrecisionHeure(t);
    if (demi == 0)
        return true;
    if (date.nHeure < 1 || date.nHeure > 12)
        return false;
    date.nHeure = date.nHeure % 12 + (demi == 2 ? 12 : 0);
    return true;
}

// The size column and the name after it: "<DIR>" or a size, grouped or not.
bool LireTailleEtNomDos(std::string_view ligne, const tChamp& taille, tEntreeListeFtp& e)
{
    if (taille.strTexte == "<DIR>") {
        e.bRepertoire = true;
        e.nTaille = 0;
        // IIS pads "<DIR>" with ten blanks up to the name's column; blanks
        // beyond those belong to the name.
        const size_t i = taille.nFin;
        size_t nBlancs = 0;
        while (i + nBlancs < ligne.size() && ligne[i + nBlancs] == ' ')
            ++nBlancs;
        e.strNom = ligne.substr(i + (nBlancs >= 10 ? 10 : nBlancs));
    } else {
        if (!LireTailleGroupee(taille.strTexte, e.nTaille))
            return false;
        e.bRepertoire = false;
        e.strNom = NomApres(ligne, taille.nFin);
    }
    return !e.strNom.empty();
}

bool AnalyserDos(std::string_view ligne, tEntreeListeFtp& e)
{
    // IIS and other DOS-style servers:
    //   "01-31-24  03:15PM       <DIR>          Traces"   (MM-DD-YY, 12 h)
    //   "01-31-2024  15:15             1,234 a.sor"     (MM-DD-YYYY, 24 h)
    //   "2024-01-31  15:15       <DIR>          Traces"   (YYYY-MM-DD, 24 h)
    const tChamps champs = Decouper(ligne, 4);
    tDateListe date;
    if (champs.size() < 4 || !LireJourDos(champs[0].strTexte, date) || !LireHeureDos(champs[1].strTexte, date))
        return false;
    if (!LireTailleEtNomDos(ligne, champs[2], e))
        return false;
    e.bLectureSeule = false;
    CopierDate(date, e);
    return true;
}

} // namespace

namespace {

// b in lower case; only ASCII letters fold (facts and their values are ASCII).
bool EgalSansCasse(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const char c = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] + ('a' - 'A')) : a[i];
        if (c != b[i])
            return false;
    }
    return true;
}

} // namespace

namespace {

// What the facts of one MLSD line say beyond the entry's own fields.
struct tFaitsMlsd
{
    bool bType = false;
    bool bPerm = false;
    std::string_view strPerm;
    int nModeUnix = -1;
};

// Six octal digits at most: a longer value is not read at all.
int ModeUnix(std::string_view valeur)
{
    if (valeur.empty() || valeur.size() > 6)
        return -1;
    int v = 0;
    for (char c : valeur) {
        if (c < '0' || c > '7')
            return -1;
        v = v * 8 + (c - '0');
    }
    return v;
}

// YYYYMMDDHHMMSS[.sss], UTC.
bool LireDateMlsd(std::string_view valeur, tEntreeListeFtp& e)
{
    return valeur.size() >= 14 && LireEntier(valeur, 0, 4, e.nAnnee) && LireEntier(valeur, 4, 2, e.nMois) &&
           LireEntier(valeur, 6, 2, e.nJour) && LireEntier(valeur, 8, 2, e.nHeure) &&
           LireEntier(valeur, 10, 2, e.nMinute) && LireEntier(valeur, 12, 2, e.nSeconde);
}

void LireFaitMlsd(std::string_view cle, std::string_view valeur, tEntreeListeFtp& e, tFaitsMlsd& f)
{
    if (EgalSansCasse(cle, "type")) {
        f.bType = true;
        e.bRepertoire =
            EgalSansCasse(valeur, "dir") || EgalSansCasse(valeur, "cdir") || EgalSansCasse(valeur, "pdir");
    } else if (EgalSansCasse(cle, "size")) {
        if (!LireTaille(valeur, e.nTaille))
            e.nTaille = 0;
    } else if (EgalSansCasse(cle, "modify")) {
        e.bDate = LireDateMlsd(valeur, e);
        e.ePrecision = e.bDate ? tPrecisionDate::Seconde : tPrecisionDate::Aucune;
    } else if (EgalSansCasse(cle, "unique")) {
        e.strUnique = valeur;
    } else if (EgalSansCasse(cle, "perm")) {
        f.strPerm = valeur;
        f.bPerm = true;
    } else if (EgalSansCasse(cle, "unix.mode")) {
        const int mode = ModeUnix(valeur);
        if (mode >= 0)
            f.nModeUnix = mode;
    }
}

} // namespace

bool AnalyserLigneMlsd(std::string_view ligne, tEntreeListeFtp& e)
{
    const size_t espace = ligne.find(' ');
    if (espace == std::string_view::npos || espace + 1 >= ligne.size())
        return false;
    e = tEntreeListeFtp();
    e.strNom = ligne.substr(espace + 1);
    tFaitsMlsd f;
    const std::string_view faits = ligne.substr(0, espace);
    size_t i = 0;
    while (i < faits.size()) {
        size_t fin = faits.find(';', i);
        if (fin == std::string_view::npos)
            fin = faits.size();
        const std::string_view fait = faits.substr(i, fin - i);
        i = fin + 1;
        const size_t egal = fait.find('=');
        if (egal != std::string_view::npos)
            LireFaitMlsd(fait.substr(0, egal), fait.substr(egal + 1), e, f);
    }
    if (!f.bType)
        return false;
    if (!e.bRepertoire) {
        if (f.bPerm)
            e.bLectureSeule = f.strPerm.find_first_of("wWaA") == std::string_view::npos;
        else if (f.nModeUnix >= 0)
            e.bLectureSeule = (f.nModeUnix & 0200) == 0;
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
    // Most names are long and clean: one pass over them, no copy.
    if (nom.size() < 16)
        return CheminDistant::NomSur(std::string(nom));
    // Every refused byte is '/', '\\' or below 0x10 (NUL, CR, LF): looked
    // for eight bytes at a time.
    constexpr uint64_t kUns = 0x0101010101010101ull, kHauts = 0x8080808080808080ull;
    const auto zero = [](uint64_t x) { return (x - kUns) & ~x & kHauts; };
    size_t i = 0;
    for (uint64_t mot = 0; i + 8 <= nom.size(); i += 8) {
        std::memcpy(&mot, nom.data() + i, 8);
        const uint64_t bas = (mot - 0x10 * kUns) & ~mot & kHauts;  // a byte below 0x10
        if ((bas | zero(mot ^ ('/' * kUns)) | zero(mot ^ ('\\' * kUns))) != 0)
            return CheminDistant::NomSur(std::string(nom));
    }
    for (; i < nom.size(); ++i) {
        const auto o = static_cast<unsigned char>(nom[i]);
        if (o < 0x10 || o == '/' || o == '\\')
            return CheminDistant::NomSur(std::string(nom));
    }
    return true;
}

bool EstUtf8Valide(std::string_view s)
{
    // ASCII, eight bytes at a time, is the common case.
    size_t i = 0;
    for (uint64_t mot = 0; i + 8 <= s.size(); i += 8) {
        std::memcpy(&mot, s.data() + i, 8);
        if ((mot & 0x8080808080808080ull) != 0)
            break;
    }
    while (i < s.size() && static_cast<unsigned char>(s[i]) < 0x80)
        ++i;
    if (i == s.size())
        return true;
    // The library's codec decodes malformed bytes to U+FFFD, which does not
    // encode back to them: well-formed exactly when the bytes come back.
    const std::string_view reste = s.substr(i);
    std::wstring large(reste.size(), L'\0');
    large.resize(Utf8ToWide(reste.data(), reste.size(), large.data()));
    std::string octets(Utf8Length(large.data(), large.size()), '\0');
    octets.resize(WideToUtf8(large.data(), large.size(), octets.data()));
    return octets == reste;
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

namespace {

// Fixed layouts, written digit by digit: listings of thousands of entries
// format one date each.
void Chiffres(char* pTexte, int nValeur, int nChiffres)
{
    static const char kPaires[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                                  "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                                  "8081828384858687888990919293949596979899";
    if (nChiffres == 4) {
        std::memcpy(pTexte, kPaires + 2 * (nValeur / 100 % 100), 2);
        pTexte += 2;
    }
    std::memcpy(pTexte, kPaires + 2 * (nValeur % 100), 2);
}

} // namespace

bool DateFtpValide(const tEntreeListeFtp& e) { return DateValide(e); }

size_t EcrireDateFtp(const tEntreeListeFtp& e, char* t)
{
    static const char kInvalide[] = "Invalid DateTime";
    if (!DateValide(e)) {
        std::memcpy(t, kInvalide, sizeof kInvalide - 1);
        return sizeof kInvalide - 1;
    }
    std::memcpy(t, "00/00/0000 00:00:00", 19);
    Chiffres(t, e.nMois, 2);
    Chiffres(t + 3, e.nJour, 2);
    Chiffres(t + 6, e.nAnnee, 4);
    Chiffres(t + 11, e.nHeure, 2);
    Chiffres(t + 14, e.nMinute, 2);
    Chiffres(t + 17, e.nSeconde, 2);
    return 19;
}

size_t EcrireDateIso(const tEntreeListeFtp& e, char* t)
{
    if (!DateValide(e))
        return 0;
    std::memcpy(t, "0000-00-00T00:00:00Z", 20);
    Chiffres(t, e.nAnnee, 4);
    Chiffres(t + 5, e.nMois, 2);
    Chiffres(t + 8, e.nJour, 2);
    switch (e.ePrecision) {
    case tPrecisionDate::Jour:
        return 10;
    case tPrecisionDate::Minute:
        Chiffres(t + 11, e.nHeure, 2);
        Chiffres(t + 14, e.nMinute, 2);
        t[16] = 'Z';
        return 17;
    default:
        Chiffres(t + 11, e.nHeure, 2);
        Chiffres(t + 14, e.nMinute, 2);
        Chiffres(t + 17, e.nSeconde, 2);
        return 20;
    }
}

CString FormaterDateFtp(const tEntreeListeFtp& e)
{
    char texte[19];
    const size_t n = EcrireDateFtp(e, texte);
    wchar_t large[19];
    for (size_t i = 0; i < n; ++i)
        large[i] = static_cast<wchar_t>(texte[i]);
    return CString(large, n);
}

CString AttributsFtp(const tEntreeListeFtp& e)
{
    if (e.bRepertoire)
        return CString(L"d");
    return CString(e.bLectureSeule ? L"r" : L"n");
}
