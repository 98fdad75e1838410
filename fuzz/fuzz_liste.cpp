// FTP directory listings: the parser (AnalyserListe, AnalyserLigneMlsd,
// AnalyserLigneList) and the receiver that builds the records as the data
// arrives in blocks (RecevoirBlocListe, RecevoirFinListe, CRecepteurListeFtp,
// as GetDir runs them).
//
// The input's first byte chooses the form: odd ("M") MLSD, even ("L") LIST;
// the rest is the data connection's bytes.
//
// Invariants: the records are the same whether the listing arrives whole, a
// byte at a time or in blocks cut anywhere, and whether they are kept in a
// list or handed to a function; every line the parser reads is either a record,
// in server order with its name, size, date and attributes, or a name reported
// as left out: nothing vanishes silently; no name is empty, "." or ".." other
// than those two exact entries, nor holds / \ NUL CR LF, before or after
// decoding; the names left out are told without a NUL; a date is "Invalid
// DateTime" with time 0, or a real calendar time whose seconds since 1970
// agree with its text; a LIST date without a year is never more than a day
// after today nor a year or more before it.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "Invariant.h"
#include "common/Conversions.h"
#include "ftp/AnalyseListeFtp.h"
#include "ftp/RecepteurListeFtp.h"

namespace {

constexpr size_t TAILLE_MAX = 1 << 16;

struct tRecu
{
    std::vector<tInfosFichierFtp> entrees;
    std::vector<CString> inutilisables;
    std::vector<CString> doublons;
};

bool Egales(const tInfosFichierFtp& a, const tInfosFichierFtp& b)
{
    return a.m_strNom == b.m_strNom && a.m_strDate == b.m_strDate && a.m_strAttributs == b.m_strAttributs &&
           a.m_nTaille == b.m_nTaille && a.m_nDateUtc == b.m_nDateUtc;
}

bool operator==(const tRecu& a, const tRecu& b)
{
    return std::equal(a.entrees.begin(), a.entrees.end(), b.entrees.begin(), b.entrees.end(), Egales) &&
           a.inutilisables == b.inutilisables && a.doublons == b.doublons;
}

// The data handed to the receiver in blocks of the sizes `taille` gives, then
// the last line without its line feed, as for a listing that ended whole.
template <class FTaille>
void Alimenter(const std::string& donnees, CSessionFtp::IRecepteurListe& r, FTaille taille)
{
    std::string reste;
    for (size_t i = 0, n; i < donnees.size(); i += n) {
        n = std::min(taille(i), donnees.size() - i);
        RecevoirBlocListe(donnees.data() + i, n, reste, r);
    }
    if (!reste.empty())
        RecevoirFinListe(reste, r);
}

template <class FTaille>
tRecu EnListe(const std::string& donnees, bool bMlsd, FTaille taille)
{
    CListeFichiersFtp liste;
    tCacheListeFtp cache;
    CRecepteurListeFtp r(liste, cache);
    r.Debut(bMlsd);
    Alimenter(donnees, r, taille);
    tRecu recu;
    r.Terminer(recu.doublons);
    recu.inutilisables = r.Inutilisables();
    for (int i = 0; i < liste.m_nNombre; ++i)
        recu.entrees.push_back(liste.m_pElements[i]);
    return recu;
}

bool Chiffres(const std::wstring& s, size_t debut, size_t n, int& v)
{
    v = 0;
    for (size_t i = debut; i < debut + n; ++i) {
        if (s[i] < L'0' || s[i] > L'9')
            return false;
        v = v * 10 + static_cast<int>(s[i] - L'0');
    }
    return true;
}

// The date's text and its seconds, checked apart from the parser's calendar.
void VerifierDate(const tInfosFichierFtp& e)
{
    const std::wstring& d = e.m_strDate;
    if (d == L"Invalid DateTime") {
        VERIFIER(e.m_nDateUtc == 0);
        return;
    }
    int mois, jour, annee, h, m, s;
    VERIFIER(d.size() == 19 && d[2] == L'/' && d[5] == L'/' && d[10] == L' ' && d[13] == L':' && d[16] == L':');
    VERIFIER(Chiffres(d, 0, 2, mois) && Chiffres(d, 3, 2, jour) && Chiffres(d, 6, 4, annee) &&
             Chiffres(d, 11, 2, h) && Chiffres(d, 14, 2, m) && Chiffres(d, 17, 2, s));
    VERIFIER(annee >= 100 && mois >= 1 && mois <= 12 && jour >= 1 && h < 24 && m < 60 && s < 60);
    std::tm t{};
    t.tm_year = annee - 1900;
    t.tm_mon = mois - 1;
    t.tm_mday = jour;
    t.tm_hour = h;
    t.tm_min = m;
    t.tm_sec = s;
    const std::time_t secondes = ::timegm(&t);
    // timegm carries a day past the month's end into the next month.
    VERIFIER(t.tm_mday == jour && t.tm_mon == mois - 1);
    VERIFIER(e.m_nDateUtc == static_cast<int64_t>(secondes));
}

void VerifierNom(const std::wstring& nom)
{
    if (nom == L"." || nom == L"..")
        return;
    VERIFIER(!nom.empty());
    VERIFIER(nom.find_first_of(std::wstring(L"/\\\0\r\n", 5)) == std::wstring::npos);
}

// A LIST line read on two different days: where the year was guessed, the
// date lies within the year before the day of reading.
void VerifierAnneeDeduite(std::string_view ligne)
{
    tEntreeListeFtp a, b;
    if (!AnalyserLigneList(ligne, a, 2024, 3, 1) || !AnalyserLigneList(ligne, b, 2031, 3, 1))
        return;
    VERIFIER(a.strNom.data() == b.strNom.data() && a.strNom.size() == b.strNom.size());
    VERIFIER(a.nMois == b.nMois && a.nJour == b.nJour);
    if (a.nAnnee == b.nAnnee)
        return;
    const auto cle = [](int an, int mo, int jo) { return an * 10000 + mo * 100 + jo; };
    for (const tEntreeListeFtp* e : {&a, &b}) {
        const int courante = e == &a ? 2024 : 2031;
        VERIFIER(cle(e->nAnnee, e->nMois, e->nJour) <= cle(courante, 3, 2));
        VERIFIER(cle(e->nAnnee, e->nMois, e->nJour) > cle(courante - 1, 3, 2));
    }
}

// Handed to a function: the same records, less the names it is told to drop;
// as parsed bytes (otdr ls): the same entries in the same order, names in
// UTF-8, the same sizes and dates, and the same names to drop.
void VerifierFormesDonnees(const std::string& donnees, bool bMlsd, const tRecu& entier, std::vector<CString>& aOter)
{
    std::vector<tInfosFichierFtp> donnes;
    const CFTPDirect::FonctionEntreeListe fonction = [&](const tInfosFichierFtp& e) { donnes.push_back(e); };
    CRecepteurListeFtp recepteur(fonction);
    recepteur.Debut(bMlsd);
    Alimenter(donnees, recepteur, [](size_t) { return size_t{7}; });
    recepteur.Terminer(aOter);
    VERIFIER(recepteur.Inutilisables() == entier.inutilisables);
    std::vector<std::wstring> gardes, attendus;
    for (const auto& e : donnes)
        if (std::find(aOter.begin(), aOter.end(), e.m_strNom) == aOter.end())
            gardes.push_back(e.m_strNom);
    for (const auto& e : entier.entrees)
        attendus.push_back(e.m_strNom);
    std::sort(gardes.begin(), gardes.end());
    std::sort(attendus.begin(), attendus.end());
    VERIFIER(gardes == attendus);

    std::vector<tInfosFichierFtp> bruts;
    const CFTPDirect::FonctionEntreeBrute brute = [&](const tEntreeListeFtp& e) {
        bruts.emplace_back(CString(Utf8ToWide(std::string(e.strNom))), FormaterDateFtp(e), AttributsFtp(e), e.nTaille,
                           DateUtcFtp(e));
    };
    CRecepteurListeFtp recepteurBrut(brute);
    recepteurBrut.Debut(bMlsd);
    Alimenter(donnees, recepteurBrut, [](size_t) { return size_t{5}; });
    std::vector<CString> aOterBruts;
    recepteurBrut.Terminer(aOterBruts);
    VERIFIER(recepteurBrut.Inutilisables() == entier.inutilisables);
    std::vector<CString> aOterTries = aOter;
    std::sort(aOterTries.begin(), aOterTries.end());
    std::sort(aOterBruts.begin(), aOterBruts.end());
    VERIFIER(aOterBruts == aOterTries);  // both in the order of their own table
    VERIFIER(std::equal(bruts.begin(), bruts.end(), donnes.begin(), donnes.end(), Egales));
}

// Every line the parser reads is a record of the listing, in order, or a name
// left out. Returns how many of those names may enter a listing.
size_t VerifierLigneALigne(const std::string& donnees, bool bMlsd, const tRecu& entier)
{
    size_t nLues = 0, nRecevables = 0, k = 0;
    int annee, mois, jour;
    DateDuJourUtc(annee, mois, jour);
    PourChaqueLigne(donnees, [&](std::string_view ligne) {
        tEntreeListeFtp e;
        if (!bMlsd)
            VerifierAnneeDeduite(ligne);
        if (!(bMlsd ? AnalyserLigneMlsd(ligne, e) : AnalyserLigneList(ligne, e, annee, mois, jour)))
            return;
        VERIFIER(e.strNom.data() >= ligne.data() && e.strNom.data() + e.strNom.size() <= ligne.data() + ligne.size());
        ++nLues;
        nRecevables += NomRecevable(e.strNom);
        if (k < entier.entrees.size()) {
            const tInfosFichierFtp& r = entier.entrees[k];
            k += r.m_strNom == DepuisFil(e.strNom) && r.m_nTaille == e.nTaille && r.m_strDate == FormaterDateFtp(e) &&
                 r.m_strAttributs == AttributsFtp(e);
        }
    });
    VERIFIER(k == entier.entrees.size());
    VERIFIER(nLues == entier.entrees.size() + entier.inutilisables.size() + entier.doublons.size());
    return nRecevables;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* octets, size_t taille)
{
    if (taille == 0 || taille > TAILLE_MAX)
        return 0;
    const bool bMlsd = (octets[0] & 1) != 0;
    const std::string donnees(reinterpret_cast<const char*>(octets) + 1, taille - 1);

    // Whole, byte by byte, and in blocks cut where the data says.
    const tRecu entier = EnListe(donnees, bMlsd, [&](size_t) { return donnees.size(); });
    VERIFIER(EnListe(donnees, bMlsd, [](size_t) { return size_t{1}; }) == entier);
    const auto coupe = [&](size_t i) { return size_t{1} + static_cast<unsigned char>(donnees[i]) % 61; };
    VERIFIER(EnListe(donnees, bMlsd, coupe) == entier);

    // Handed out one by one, as wide records and as parsed bytes.
    std::vector<CString> aOter;
    VerifierFormesDonnees(donnees, bMlsd, entier, aOter);

    // Line by line: every line read is a record, in order, or a name left out.
    const size_t nRecevables = VerifierLigneALigne(donnees, bMlsd, entier);

    // Names left out are told in messages, which a NUL would cut short.
    const auto dits = [](const std::vector<CString>& noms) {
        for (const CString& nom : noms)
            VERIFIER(!nom.empty() && nom.find(L'\0') == std::wstring::npos);
    };
    dits(entier.inutilisables);
    dits(entier.doublons);
    dits(aOter);
    for (const auto& e : entier.entrees) {
        VerifierNom(e.m_strNom);
        VerifierDate(e);
        VERIFIER(e.m_strAttributs == L"d" || e.m_strAttributs == L"r" || e.m_strAttributs == L"n");
    }
    // The parser on the whole text keeps the names that may enter a listing.
    const std::vector<tEntreeListeFtp> analyse = AnalyserListe(donnees, bMlsd);
    VERIFIER(analyse.size() == nRecevables);
    for (const auto& e : analyse)
        VerifierNom(std::wstring(e.strNom.begin(), e.strNom.end()));
    return 0;
}
