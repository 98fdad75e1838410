// The otdr commands. Each uses the library as a host would: COtdrDriver for the
// command channel, CFTPDirect for files, the profile store for settings.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <cerrno>
#include <unistd.h>

#include "Affichage.h"
#include "CConnexionFtp.h"
#include "CProfilSurcharge.h"
#include "CProgression.h"
#include "Contexte.h"
#include "Delais.h"
#include "Erreurs.h"
#include "Json.h"
#include "Selection.h"
#include "comm/SondeAppareils.h"
#include "comm/TraceCom.h"
#include "common/Conversions.h"
#include "driver/COtdrDriver.h"
#include "ftp/AnalyseListeFtp.h"
#include "ftp/CParcoursDistant.h"
#include "ftp/CheminDistant.h"
#include "profile/CProfilIni.h"
#include "profile/ClesProfil.h"

namespace fs = std::filesystem;

namespace {

CString Large(const std::string& s) { return CString(Utf8ToWide(s)); }
std::string Etroit(const std::wstring& s) { return WideToUtf8(s); }
CString LargeChemin(const fs::path& p) { return Large(p.string()); }
using tOperation = CMoteurTransferts::tOperation;

// A trailing "/" in a remote operand means "into this directory".
bool FinitParBarre(const std::string& s) { return !s.empty() && s.back() == '/'; }

// What a remote path is, asked of the server for that path alone (a directory
// or, when it cannot be entered, a file whose own command will tell).
tInfosFichierFtp EtatExistant(CConnexionFtp& c, const std::string& abs)
{
    tInfosFichierFtp infos;
    c.Etat(abs, infos);
    return infos;
}

// The library's reason for the last failure, for a message.
std::string Raison(CConnexionFtp& c) { return Etroit(c.Ftp().GetDerniereErreur()); }

} // namespace

void VerifierOperandes(const tContexte& ctx, size_t nMin, size_t nMax, const char* usage)
{
    const size_t n = ctx.options.operandes.size();
    if (n < nMin || n > nMax)
        throw ErreurUsage(std::string(n < nMin ? "missing operand" : "too many operands") + ": usage: otdr " +
                          usage + " (see 'otdr " + ctx.options.strCommande + " --help')");
}

std::string Resume(const char* verbe, int nFichiers, uint64_t nOctets, const std::string& cible, double s)
{
    char t[64];
    std::snprintf(t, sizeof t, "%.1f", s);
    return std::string(verbe) + " " + std::to_string(nFichiers) + (nFichiers == 1 ? " file" : " files") + " (" +
           CProgression::Octets(nOctets) + ") " + cible + " in " + t + " s";
}

CMoteurTransferts::tResultat ExecuterTravail(CConnexionFtp& c, CMoteurTransferts::tTravail travail,
                                             CMoteurTransferts::IAbonne& abonne)
{
    if (travail.eOperation != CMoteurTransferts::tOperation::SupprimerArbre)
        c.Partager(travail);
    CMoteurTransferts moteur(c.Ftp(), abonne);
    moteur.Lancer(std::move(travail));
    return moteur.Attendre();
}

// One file through the engine, its progress on the bar (ended); true when
// done, else the client's GetDerniereErreur says why.
bool TransfererFichier(CConnexionFtp& c, CProgression& prog, CMoteurTransferts::tOperation eOperation,
                       const std::string& strDistant, const std::filesystem::path& local)
{
    CSuiviProgression suivi(prog, CSuiviProgression::tTotaux::DuFichier, nullptr);
    const CMoteurTransferts::tResultat r = ExecuterTravail(
        c, CMoteurTransferts::tTravail::De(eOperation, CString(Utf8ToWide(strDistant)), CString(Utf8ToWide(local.string()))),
        suivi);
    prog.Terminer();
    return r.parcours.nFichiers == 1;
}

// " (skipped 1 link to a directory already copied: '/a/self')", or nothing.
std::string LiensIgnores(const CParcoursDistant::tBilan& b)
{
    if (b.ignores.empty()) return std::string();
    const size_t n = b.ignores.size();
    return " (skipped " + std::to_string(n) + (n == 1 ? " link" : " links") + " to a directory already " +
           "walked: '" + Etroit(b.ignores[0].strChemin) + "'" + (n > 1 ? ", ..." : "") + ")";
}

// Ends a tree command: what failed, was skipped or was not done, in one message.
void SignalerBilan(const CParcoursDistant::tBilan& b, const std::string& quoi)
{
    if (b.Complet()) return;
    std::string texte;
    for (size_t i = 0; i < b.echecs.size() && i < 5; ++i)
        texte += (i ? "; '" : "'") + Etroit(b.echecs[i].strChemin) + "': " + Etroit(b.echecs[i].strRaison);
    if (b.echecs.size() > 5) texte += "; and " + std::to_string(b.echecs.size() - 5) + " more";
    if (b.bSessionPerdue || b.bArrete) {
        texte += std::string(texte.empty() ? "" : "; ") +
                 (b.bSessionPerdue ? "the connection to the instrument was lost" : "stopped");
        if (!b.nonFaits.empty())
            texte += ", " + std::to_string(b.nonFaits.size()) + " not done from '" + Etroit(b.nonFaits[0]) + "' on";
    }
    throw ErreurOperation("not everything could be " + quoi + ": " + texte);
}

void NoterSessions(const tContexte& ctx, const CParcoursDistant::tBilan& b)
{
    if (ctx.options.nParallele > 1 && b.nSessions < ctx.options.nParallele)
        std::fprintf(stderr, "otdr: the instrument accepted %d of the %d FTP connections asked for\n", b.nSessions,
                     ctx.options.nParallele);
}

// ---------------------------------------------------------------- identify

namespace {

// The trace of the command channel (--verbose), removed however the driver's use ends.
class CTraceCommandes
{
public:
    explicit CTraceCommandes(bool bActive)
    {
        if (!bActive) return;
        DefinirTraceCom([](eSensTrace sens, const std::string& texte) {
            if (sens == eSensTrace::Envoi) return EcrireTrace("cmd", "> " + texte);
            if (sens == eSensTrace::Evenement) return EcrireTrace("cmd", texte);
            // The CR of the instrument's CR LF ends the line; it is no part of the reply.
            const bool bCr = !texte.empty() && texte.back() == '\r';
            EcrireTrace("cmd", "< " + texte.substr(0, texte.size() - (bCr ? 1 : 0)));
        });
    }
    ~CTraceCommandes() { DefinirTraceCom({}); }
    CTraceCommandes(const CTraceCommandes&) = delete;
    CTraceCommandes& operator=(const CTraceCommandes&) = delete;
};

} // namespace

static std::shared_ptr<void> PreparerDriver(const tContexte& ctx, COtdrDriver& driver, const std::optional<long>& delaiMs)
{
    // The driver reads the instrument from the profile: show it the resolved
    // values without storing them.
    auto surcharge = std::make_shared<CProfilSurcharge>(ctx.profil);
    surcharge->SurchargerChaine(ClesProfil::SECTION_DRIVER, ClesProfil::ADRESSE_IP, Utf8ToWide(ctx.strAdresse));
    surcharge->SurchargerEntier(ClesProfil::SECTION_DRIVER, ClesProfil::PORT, ctx.nPort);
    surcharge->SurchargerEntier(ClesProfil::SECTION_DRIVER, ClesProfil::FTP_PORT, ctx.nPortFtp);
    surcharge->SurchargerEntier(ClesProfil::SECTION_DRIVER, ClesProfil::CONTACT, 0);
    DefinirProfil(surcharge);
    auto trace = std::make_shared<CTraceCommandes>(ctx.options.bVerbeux);
    if (delaiMs) {
        const unsigned long t = static_cast<unsigned long>(*delaiMs);
        tDelaisDriver d = driver.GetDelais();
        // Each reply waited for S seconds in all, whatever the channel does with it.
        d.m_nAttenteReponse = static_cast<unsigned long>(AttenteParLecture(*delaiMs));
        d.m_nConnexion = t;
        d.m_nPauseCom = std::min(t, 500ul);
        // Room for the whole sequence of an instrument that answers every query
        // in time, however slowly.
        d.m_nDemarrage = d.DureeMaxDemarrage();
        d.m_nArret = 2 * t + 1000;
        d.m_nArretApresEchec = 2 * t + 1000;
        driver.SetDelais(d);
    }
    return trace;
}

std::string ModeleAppareil(const tContexte& ctx, long nLimiteMs)
{
    // "*IDN?" alone, as scan asks: a file command never takes the instrument
    // into remote control (its front panel stays usable).
    if (ctx.strAdresse.find('/') != std::string::npos) return std::string();   // a block, not an instrument
    tParametresSonde p;
    p.nPort = static_cast<unsigned>(ctx.nPort);
    p.nConnexionMs = static_cast<int>(nLimiteMs);
    p.nReponseMs = static_cast<int>(nLimiteMs);   // the probe waits once per reply
    p.nSimultanes = 1;
    if (ctx.options.bVerbeux)
        p.trace = [](const std::string&, eSensTrace sens, const std::string& texte) {
            const bool bCr = !texte.empty() && texte.back() == '\r';
            const char* tete = sens == eSensTrace::Envoi ? "> " : sens == eSensTrace::Reception ? "< " : "";
            EcrireTrace("cmd", tete + texte.substr(0, texte.size() - (bCr ? 1 : 0)));
        };
    std::vector<tAppareilSonde> resultats;
    std::string erreur;
    if (!SonderAppareils({ctx.strAdresse}, p, resultats, erreur) || resultats.empty() ||
        resultats[0].eEtat != eEtatSonde::Identifie)
        return std::string();
    return resultats[0].strModele;
}

int CommandeIdentify(tContexte& ctx)
{
    VerifierOperandes(ctx, 0, 0, "identify");
    if (ctx.strAdresse.empty())
        throw ErreurUsage("no instrument address: give --address, or store one with 'otdr config --address A'");

    auto driver = std::make_unique<COtdrDriver>();
    const auto garde = PreparerDriver(ctx, *driver, ctx.options.delaiMs);
    if (!driver->StartDriver()) {
        // The worker is still busy with the instrument; the process ends now
        // rather than waiting for it.
        const unsigned long limite = driver->GetDelais().m_nDemarrage;
        EcrireErreur("the instrument at " + ctx.Cible(ctx.nPort) + " did not complete the connection sequence within " +
                         std::to_string((limite + 999) / 1000) + " s",
                     SORTIE_ECHEC);
        std::fflush(nullptr);
        std::_Exit(SORTIE_ECHEC);
    }
    // The port actually reached: the fallback port 21 when the configured one failed.
    const int nPort = driver->GetPortConnexion() != 0 ? static_cast<int>(driver->GetPortConnexion()) : ctx.nPort;
    const std::string raison = Etroit(driver->GetRaisonEchecConnexion());
    if (!driver->IsConnexionEnCours()) {
        driver->StopDriver();
        throw ErreurOperation("cannot connect to the instrument at " + ctx.Hote() + " (" + raison + ")");
    }
    const std::string modele = Etroit(driver->GetIdentificationAppareil());
    const std::string version = Etroit(driver->GetVersionAppareil());
    if (ctx.options.bJson) {
        CEcrivainJson j;
        j.DebutObjet().Cle("model");
        modele.empty() ? j.Nul() : j.Valeur(modele);
        j.Cle("version");
        version.empty() ? j.Nul() : j.Valeur(version);
        j.Cle("address").Valeur(ctx.strAdresse).Cle("port").Valeur(nPort).Cle("connected").Valeur(true).FinObjet();
        std::printf("%s\n", j.Texte().c_str());
    } else {
        std::printf("Model:       %s\n", modele.empty() ? "(not identified)" : Visible(modele).c_str());
        std::printf("Version:     %s\n", version.empty() ? "(unknown)" : Visible(version).c_str());
        std::printf("Connection:  connected to %s\n", Visible(ctx.Cible(nPort)).c_str());
    }
    std::fflush(stdout);
    // The front panel back to the user: released without a stop, the driver
    // sends "*LOC" on a channel still open.
    driver.reset();
    if (modele.empty())
        throw ErreurOperation("the instrument at " + ctx.Cible(nPort) +
                              " accepted the connection but did not identify itself" +
                              (raison.empty() ? "" : " (" + raison + ")"));
    return SORTIE_SUCCES;
}

// ---------------------------------------------------------------- ls

namespace {

// Each entry is formatted from the listing's parsed bytes as it arrives: no
// wide record, no allocation in the common case (a name of printable ASCII).

// The 'ls -l' style attribute column: the type, then the letters a c h n r s
// or '-' (a listing gives "d", "r" or "n": see AttributsFtp).
const char* ColonneAttributs(const tEntreeListeFtp& e)
{
    if (e.bRepertoire)
        return "d------";
    return e.bLectureSeule ? "-----r-" : "----n--";
}

// Printable ASCII with nothing to escape: shown and written as it is.
bool SimpleAscii(std::string_view s)
{
    // Eight bytes at a time: none below 0x20, none from 0x7F, no '\\' nor '"'.
    constexpr uint64_t kUns = 0x0101010101010101ull, kHauts = 0x8080808080808080ull;
    const auto zero = [](uint64_t x) { return (x - kUns) & ~x & kHauts; };
    size_t i = 0;
    for (uint64_t mot = 0; i + 8 <= s.size(); i += 8) {
        std::memcpy(&mot, s.data() + i, 8);
        const uint64_t bas = (mot - 0x20 * kUns) & ~mot & kHauts;
        if ((bas | (mot & kHauts) | zero(mot ^ (0x7F * kUns)) | zero(mot ^ ('\\' * kUns)) | zero(mot ^ ('"' * kUns))) != 0)
            return false;
    }
    for (; i < s.size(); ++i)
        if (s[i] < 0x20 || s[i] > 0x7E || s[i] == '\\' || s[i] == '"')
            return false;
    return true;
}

void AjouterNombre(std::string& r, uint64_t n)
{
    char t[20];
    size_t i = sizeof t;
    do {
        t[--i] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n != 0);
    r.append(t + i, sizeof t - i);
}

void AjouterChaineJson(std::string& r, std::string_view texte)
{
    if (SimpleAscii(texte)) {
        r += '"';
        r.append(texte);
        r += '"';
    } else {
        r += ChaineJson(std::string(texte));
    }
}

// The columns before the name, as 'ls -l' would align them:
// "-----r-         1234 01/31/2024 15:15:00 ". Returns their length.
constexpr size_t kTeteMax = 7 + 1 + 20 + 1 + 20;

size_t TeteTexte(char* t, const tEntreeListeFtp& e)
{
    std::memcpy(t, ColonneAttributs(e), 7);
    t[7] = ' ';
    char chiffres[20];
    size_t i = sizeof chiffres;
    uint64_t n = e.nTaille;
    do {
        chiffres[--i] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n != 0);
    const size_t nChiffres = sizeof chiffres - i;
    const size_t nBlancs = nChiffres < 12 ? 12 - nChiffres : 0;  // right-aligned in 12 columns
    std::memset(t + 8, ' ', nBlancs);
    std::memcpy(t + 8 + nBlancs, chiffres + i, nChiffres);
    const size_t p = 8 + nBlancs + nChiffres;
    t[p] = ' ';
    const size_t nDate = EcrireDateFtp(e, t + p + 1);
    std::memset(t + p + 1 + nDate, ' ', 20 - nDate);  // left-aligned in 19 columns, then a blank
    return p + 21;
}

const char* TextePrecision(tPrecisionDate p)
{
    switch (p) {
    case tPrecisionDate::Jour: return "day";
    case tPrecisionDate::Minute: return "minute";
    default: return "second";
    }
}

// An entry of `ls --json`. "date" is ISO 8601 UTC to the precision the server
// gave ("precision": "second", "minute" or "day": a LIST line of an older
// file has no time of day); "time" the same in seconds since 1970; both null
// when the listing gave no date. A LIST date is the server's clock, read as UTC.
void ObjetJson(std::string& r, const tEntreeListeFtp& e)
{
    r += "{\"name\":";
    AjouterChaineJson(r, e.strNom);
    r += e.bRepertoire ? ",\"type\":\"directory\",\"size\":" : ",\"type\":\"file\",\"size\":";
    AjouterNombre(r, e.nTaille);
    char date[20];
    const size_t n = EcrireDateIso(e, date);
    if (n == 0) {
        r += ",\"date\":null,\"precision\":null,\"time\":null";
    } else {
        r += ",\"date\":\"";
        r.append(date, n);
        r += "\",\"precision\":\"";
        r += TextePrecision(e.ePrecision);
        r += "\",\"time\":";
        const int64_t t = DateUtcFtp(e);
        if (t < 0) {
            r += '-';
            AjouterNombre(r, static_cast<uint64_t>(-t));
        } else {
            AjouterNombre(r, static_cast<uint64_t>(t));
        }
    }
    r += e.bRepertoire ? ",\"attributes\":\"d\"}" : e.bLectureSeule ? ",\"attributes\":\"r\"}" : ",\"attributes\":\"n\"}";
}

// An entry kept until the listing ends: its size, date and kind in 16 bytes,
// followed in the block by its sort key (the name as shown in text, the raw
// name in JSON); the line is formatted from them when printed.
struct tResume
{
    uint64_t nTaille;
    int16_t nAnnee;
    uint8_t nMois, nJour, nHeure, nMinute, nSeconde;
    uint8_t nDrapeaux;  ///< date, directory, read-only, then the precision in bits 3-4
};

tResume Resumer(const tEntreeListeFtp& e)
{
    const bool bValide = DateFtpValide(e);
    tResume r{e.nTaille, static_cast<int16_t>(bValide ? e.nAnnee : 0), 0, 0, 0, 0, 0, 0};
    if (bValide) {
        r.nMois = static_cast<uint8_t>(e.nMois);
        r.nJour = static_cast<uint8_t>(e.nJour);
        r.nHeure = static_cast<uint8_t>(e.nHeure);
        r.nMinute = static_cast<uint8_t>(e.nMinute);
        r.nSeconde = static_cast<uint8_t>(e.nSeconde);
    }
    r.nDrapeaux = static_cast<uint8_t>((bValide ? 1 : 0) | (e.bRepertoire ? 2 : 0) | (e.bLectureSeule ? 4 : 0) |
                                       (static_cast<int>(e.ePrecision) << 3));
    return r;
}

tEntreeListeFtp Restituer(const tResume& r, std::string_view nom)
{
    tEntreeListeFtp e;
    e.strNom = nom;
    e.nTaille = r.nTaille;
    e.bDate = (r.nDrapeaux & 1) != 0;
    e.bRepertoire = (r.nDrapeaux & 2) != 0;
    e.bLectureSeule = (r.nDrapeaux & 4) != 0;
    e.ePrecision = static_cast<tPrecisionDate>((r.nDrapeaux >> 3) & 3);
    e.nAnnee = r.nAnnee;
    e.nMois = r.nMois;
    e.nJour = r.nJour;
    e.nHeure = r.nHeure;
    e.nMinute = r.nMinute;
    e.nSeconde = r.nSeconde;
    return e;
}

// The entries of a listing until it ends, in blocks of 1 MiB that never move:
// a directory of 100,000 entries costs 16 bytes, its name and 12 bytes an
// entry, and sorting moves only the 12 bytes.
class CLignesListe
{
public:
    enum class tForme { Texte, Json };
    explicit CLignesListe(tForme eForme) : m_eForme(eForme) {}

    void Ajouter(const tEntreeListeFtp& e)
    {
        std::string_view cle = e.strNom;
        if (m_eForme == tForme::Texte && !SimpleAscii(cle)) {
            m_tampon = Visible(std::string(cle));
            cle = m_tampon;
        }
        const tResume r = Resumer(e);
        char* p = Place(sizeof r + cle.size());
        std::memcpy(p, &r, sizeof r);
        if (!cle.empty())
            std::memcpy(p + sizeof r, cle.data(), cle.size());
        m_lignes.push_back({static_cast<uint32_t>(m_blocs.size() - 1), static_cast<uint32_t>(p - m_blocs.back().get()),
                            static_cast<uint32_t>(cle.size())});
    }

    // Drops the entries of these names (names that another name's decoding met).
    void Retirer(const std::vector<CString>& noms)
    {
        for (const CString& n : noms) {
            const std::string v = m_eForme == tForme::Texte ? Visible(Etroit(n)) : Etroit(n);
            m_lignes.erase(std::remove_if(m_lignes.begin(), m_lignes.end(),
                                          [&](const tLigne& l) { return Cle(l) == v; }),
                           m_lignes.end());
        }
    }

    bool Vide() const { return m_lignes.empty(); }

    // Sorted by name; JSON objects separated by commas. Servers mostly list in
    // order already, which is then kept without sorting.
    void ImprimerTrie()
    {
        const auto avant = [this](const tLigne& a, const tLigne& b) { return Cle(a) < Cle(b); };
        if (!std::is_sorted(m_lignes.begin(), m_lignes.end(), avant))
            std::sort(m_lignes.begin(), m_lignes.end(), avant);
        std::string sortie;
        sortie.reserve(kSortie + 4096);
        for (size_t i = 0; i < m_lignes.size(); ++i) {
            if (sortie.size() >= kSortie) {
                std::fwrite(sortie.data(), 1, sortie.size(), stdout);
                sortie.clear();
            }
            tResume r;
            std::memcpy(&r, Debut(m_lignes[i]), sizeof r);
            const tEntreeListeFtp e = Restituer(r, Cle(m_lignes[i]));
            if (m_eForme == tForme::Json) {
                if (i > 0)
                    sortie += ',';
                ObjetJson(sortie, e);
                continue;
            }
            char tete[kTeteMax];
            sortie.append(tete, TeteTexte(tete, e));
            sortie.append(e.strNom);
            sortie += '\n';
        }
        std::fwrite(sortie.data(), 1, sortie.size(), stdout);
    }

private:
    static constexpr size_t kBloc = 1u << 20;
    static constexpr size_t kSortie = 1u << 16;
    struct tLigne
    {
        uint32_t nBloc;
        uint32_t nPosition;
        uint32_t nCle;  ///< length of the key after the summary
    };

    // n bytes that stay put: in the current block, or a new one (as large as
    // the entry when the entry is larger). Not zeroed: every byte is written first.
    char* Place(size_t n)
    {
        if (m_blocs.empty() || m_nUtilise + n > m_nTailleBloc) {
            m_nTailleBloc = std::max(kBloc, n);
            m_blocs.push_back(std::unique_ptr<char[]>(new char[m_nTailleBloc]));
            m_nUtilise = 0;
        }
        char* p = m_blocs.back().get() + m_nUtilise;
        m_nUtilise += n;
        return p;
    }
    const char* Debut(const tLigne& l) const { return m_blocs[l.nBloc].get() + l.nPosition; }
    std::string_view Cle(const tLigne& l) const { return std::string_view(Debut(l) + sizeof(tResume), l.nCle); }

    tForme m_eForme;
    std::string m_tampon;
    std::vector<std::unique_ptr<char[]>> m_blocs;
    size_t m_nUtilise = 0;
    size_t m_nTailleBloc = 0;
    std::vector<tLigne> m_lignes;
};

bool EstSpecial(std::string_view nom) { return nom == "." || nom == ".."; }

void ImprimerDebutJson(const std::string& chemin, bool bComplete)
{
    CEcrivainJson j;
    j.DebutObjet().Cle("path").Valeur(chemin).Cle("complete").Valeur(bComplete);
    // The writer's object is left open: the entries follow as they were kept.
    std::fputs(j.Texte().c_str(), stdout);
    std::fputs(",\"entries\":[", stdout);
}

// The lines no rule reads were left out, never guessed at: said after the
// entries (text: on standard error; JSON: in the document's "unreadable").
void Imprimer(CLignesListe& lignes, const std::string& chemin, bool bJson, bool bComplete,
              const std::vector<CString>& illisibles)
{
    if (bJson)
        ImprimerDebutJson(chemin, bComplete);
    lignes.ImprimerTrie();
    if (!bJson) {
        std::fflush(stdout);
        for (const CString& l : illisibles)
            std::fprintf(stderr, "otdr: left out a line of the listing that no rule reads: %s\n",
                         Visible(Etroit(l)).c_str());
        return;
    }
    CEcrivainJson j;
    j.DebutTableau();
    for (const CString& l : illisibles)
        j.Valeur(Etroit(l));
    j.FinTableau();
    std::printf("],\"unreadable\":%s}\n", j.Texte().c_str());
}

// The path is not a directory: the entry itself, from its parent's listing.
// True when found and printed.
bool ImprimerEntreeSeule(CConnexionFtp& c, const std::string& abs, bool bJson)
{
    if (abs == "/")
        return false;
    CString strParent = Large(CheminDistant::Parent(abs));
    const std::string nom = CheminDistant::Nom(abs);
    CLignesListe ligne(bJson ? CLignesListe::tForme::Json : CLignesListe::tForme::Texte);
    bool bTrouve = false;
    const short n = c.Ftp().GetDirBrut(&strParent, [&](const tEntreeListeFtp& e) {
        if (!bTrouve && e.strNom == nom) {
            ligne.Ajouter(e);
            bTrouve = true;
        }
    }, 0);
    if (n != 0 || !bTrouve)
        return false;
    Imprimer(ligne, abs, bJson, true, {});
    return true;
}

} // namespace

int CommandeLs(tContexte& ctx)
{
    VerifierOperandes(ctx, 0, 1, "ls [REMOTE_DIR]");
    CConnexionFtp c(ctx);
    c.Connecter();
    const std::string abs = ctx.options.operandes.empty() ? c.RepertoireInitial() : c.Absolu(ctx.options.operandes[0]);
    // Each entry is kept as its printed line only, as the listing arrives.
    const bool bJson = ctx.options.bJson;
    CLignesListe lignes(bJson ? CLignesListe::tForme::Json : CLignesListe::tForme::Texte);
    CString chemin = Large(abs);
    const short n = c.Ftp().GetDirBrut(&chemin, [&](const tEntreeListeFtp& e) {
        if (!EstSpecial(e.strNom)) lignes.Ajouter(e);
    }, 0);
    if (n != 0) {
        const std::string raison = Raison(c);
        if (ImprimerEntreeSeule(c, abs, bJson))
            return SORTIE_SUCCES;
        // Not in a listing that stopped early says nothing about the path.
        const std::string parent = CheminDistant::Parent(abs);
        if (abs != "/" && c.Ftp().GetEtatDerniereListe() != CFTPDirect::tEtatListe::Complete &&
            c.Ftp().GetEtatDerniereListe() != CFTPDirect::tEtatListe::Refusee)
            throw ErreurOperation(CConnexionFtp::ListeIncomplete(parent, c.Ftp().GetEtatDerniereListe(), Raison(c)));
        throw ErreurOperation("no such directory on the instrument: '" + abs + "' (" + raison + ")");
    }
    const CFTPDirect::tEtatListe etat = c.Ftp().GetEtatDerniereListe();
    const std::string raisonListe = Raison(c);
    lignes.Retirer(c.Ftp().GetNomsEnDoublon());
    Imprimer(lignes, abs, bJson, etat == CFTPDirect::tEtatListe::Complete, c.Ftp().GetLignesIllisibles());
    if (etat != CFTPDirect::tEtatListe::Complete)
        throw ErreurOperation(CConnexionFtp::ListeIncomplete(abs, etat, raisonListe) +
                              (lignes.Vide() ? "" : ": the entries shown are only part of it"));
    return SORTIE_SUCCES;
}

// ---------------------------------------------------------------- get

enum class ErreurSiAbsent { Non, Oui };

// One run at a time in a local folder: a second sync or tree copy into the
// same folder stops here, before any file, naming the other run.
static void VerrouillerDossier(CVerrouDossier& verrou, const fs::path& dossier, ErreurSiAbsent absent)
{
    std::error_code ec;
    if (absent == ErreurSiAbsent::Non && !fs::exists(dossier, ec) && !fs::create_directories(dossier, ec) && ec)
        throw ErreurOperation("cannot create '" + dossier.string() + "': " + ec.message());
    std::string raison;
    if (!verrou.Prendre(dossier, raison))
        throw ErreurOperation(raison);
}

namespace {

// One remote file or tree to LOCAL (into it when it is a directory).
int TelechargerUn(const tContexte& ctx, CConnexionFtp& c, const std::string& abs, const fs::path& local,
                  Selection::CEssai* pEssai)
{
    std::error_code ec;
    const bool bLocalRep = fs::is_directory(local, ec);
    const std::string nom = abs == "/" ? std::string() : CheminDistant::Nom(abs);

    // A file is fetched at once, its RETR's reply telling a missing one; a
    // directory is known by entering it (first with -r, after a failed RETR without).
    if (abs != "/" && !(ctx.options.bRecursif && c.EstRepertoire(abs))) {
        const fs::path cible = bLocalRep ? local / nom : local;
        if (pEssai) {
            pEssai->Ajouter("download", abs, cible.string());
            return SORTIE_SUCCES;
        }
        CProgression prog(ctx.options.eProgres, 0, 1);
        if (TransfererFichier(c, prog, tOperation::TelechargerFichier, abs, cible))
            return SORTIE_SUCCES;
        const std::string raison = Raison(c);
        if (!ctx.options.bRecursif && c.EstRepertoire(abs))
            throw ErreurOperation("'" + abs + "' is a directory on the instrument (use 'otdr get -r')");
        throw ErreurOperation("cannot download '" + abs + "' to '" + cible.string() + "': " + raison);
    }

    const fs::path racine = bLocalRep && !nom.empty() ? local / nom : local;
    if (fs::exists(racine, ec) && !fs::is_directory(racine, ec))
        throw ErreurOperation("'" + racine.string() + "' exists and is not a directory");
    CProgression prog(pEssai ? eProgression::Jamais : ctx.options.eProgres, 0, 0);
    const Selection::CFiltre filtre(ctx.options);
    // A dry run walks the remote tree as a copy would, and leaves no directory behind.
    std::unique_ptr<Selection::CRepertoiresTemoins> temoins;
    if (pEssai) temoins = std::make_unique<Selection::CRepertoiresTemoins>(racine);
    CVerrouDossier verrou;
    if (!pEssai) VerrouillerDossier(verrou, racine, ErreurSiAbsent::Non);
    CSuiviProgression suivi(prog, CSuiviProgression::tTotaux::ParRepertoire,
                            Selection::Filtrer({}, filtre, pEssai, true).avantFichier);
    const auto travail = CMoteurTransferts::tTravail::De(tOperation::TelechargerArbre, Large(abs), LargeChemin(racine));
    const CParcoursDistant::tBilan bilan = ExecuterTravail(c, travail, suivi).parcours;
    prog.Terminer();
    NoterSessions(ctx, bilan);
    if (!pEssai && !ctx.options.bSilencieux)
        std::printf("%s\n", Visible(Resume("Downloaded", bilan.nFichiers, prog.OctetsFaits(),
                                           "to " + racine.string(), prog.Secondes()) + LiensIgnores(bilan)).c_str());
    SignalerBilan(bilan, "downloaded");
    return SORTIE_SUCCES;
}

// A remote file to standard output, through a temporary file that the
// download's checks have passed (a failed one writes nothing).
int VersSortie(const tContexte& ctx, CConnexionFtp& c, const std::string& abs)
{
    // In a directory of its own (mode 0700): nobody can put a link in its place.
    std::error_code ec;
    std::string modele = (fs::temp_directory_path(ec) / "otdr-XXXXXX").string();
    if (::mkdtemp(modele.data()) == nullptr)
        throw ErreurOperation("cannot create a temporary directory: " + std::string(std::strerror(errno)));
    struct tEfface { fs::path p; ~tEfface() { std::error_code e; fs::remove_all(p, e); } } efface{modele};
    const fs::path tmp = efface.p / "fichier";
    CProgression prog(ctx.options.eProgres, 0, 1);
    if (!TransfererFichier(c, prog, tOperation::TelechargerFichier, abs, tmp)) throw ErreurOperation("cannot download '" + abs + "': " + Raison(c));
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(tmp.c_str(), "rb"), &std::fclose);
    if (!f) throw ErreurOperation("cannot read the downloaded file '" + tmp.string() + "'");
    char bloc[65536];
    for (size_t n; (n = std::fread(bloc, 1, sizeof bloc, f.get())) > 0;)
        if (std::fwrite(bloc, 1, n, stdout) != n) throw ErreurOperation("cannot write to standard output");
    if (std::fflush(stdout) != 0) throw ErreurOperation("cannot write to standard output");
    return SORTIE_SUCCES;
}

} // namespace

int CommandeGet(tContexte& ctx)
{
    VerifierOperandes(ctx, 2, static_cast<size_t>(-1), "get [-r] REMOTE... LOCAL");
    const std::vector<std::string>& ops = ctx.options.operandes;
    const fs::path local = fs::path(ops.back());
    const bool bSortie = ops.back() == "-";
    if (bSortie && ctx.options.bRecursif) throw ErreurUsage("get -r: a tree cannot go to standard output ('-')");
    CConnexionFtp c(ctx);
    c.Connecter();
    const std::vector<std::string> sources =
        Selection::Developper(c, std::vector<std::string>(ops.begin(), ops.end() - 1), ctx.options.bRecursif);
    Selection::CEssai essai;
    Selection::CEssai* pEssai = ctx.options.bEssai ? &essai : nullptr;
    if (bSortie) {
        if (sources.size() != 1) throw ErreurUsage("get: one file only goes to standard output ('-')");
        if (pEssai) {
            essai.Ajouter("download", sources[0], "-");
            essai.Imprimer(ctx.options.bJson);
            return SORTIE_SUCCES;
        }
        return VersSortie(ctx, c, sources[0]);
    }
    std::error_code ec;
    if (sources.size() > 1 && !fs::is_directory(local, ec))
        throw ErreurOperation("'" + local.string() + "' is not a directory (" + std::to_string(sources.size()) +
                              " files or trees to copy into it)");
    if (sources.size() == 1 && !pEssai) return TelechargerUn(ctx, c, sources[0], local, nullptr);
    int nSortie = SORTIE_SUCCES;
    for (const std::string& abs : sources) {
        try {
            TelechargerUn(ctx, c, abs, local, pEssai);
        } catch (const CErreurOtdr& e) {
            // Each failure said; the others still copied.
            if (sources.size() == 1) throw;
            EcrireErreur(e.what(), e.Sortie());
            nSortie = SORTIE_ECHEC;
        }
    }
    if (pEssai) essai.Imprimer(ctx.options.bJson);
    return nSortie;
}

// ---------------------------------------------------------------- put

namespace {

// put -r --dry-run: the local tree read as the upload would take it (links to
// directories not followed), the instrument not touched.
int EssaiEnvoi(const tContexte& ctx, const fs::path& local, const std::string& racine, const Selection::CFiltre& filtre)
{
    Selection::CEssai essai;
    std::vector<std::pair<std::string, fs::path>> fichiers;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(local, ec), fin; !ec && it != fin; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        const std::string relatif = fs::relative(it->path(), local, ec).generic_string();
        const auto t = it->last_write_time(ec);
        const long long nDate = std::chrono::duration_cast<std::chrono::seconds>(
                                    t - fs::file_time_type::clock::now() +
                                    std::chrono::system_clock::now().time_since_epoch()).count();
        if (filtre.Retenir(relatif, nDate)) fichiers.emplace_back(relatif, it->path());
    }
    std::sort(fichiers.begin(), fichiers.end());
    for (const auto& f : fichiers)
        essai.Ajouter("upload", f.second.string(), CheminDistant::Joindre(racine, f.first),
                      static_cast<long long>(fs::file_size(f.second, ec)));
    essai.Imprimer(ctx.options.bJson);
    return SORTIE_SUCCES;
}

} // namespace

int CommandePut(tContexte& ctx)
{
    VerifierOperandes(ctx, 2, 2, "put [-r] LOCAL REMOTE");
    const fs::path local = fs::path(ctx.options.operandes[0]);
    std::error_code ec;
    const auto etat = fs::status(local, ec);
    if (!fs::exists(etat))
        throw ErreurOperation("no such local file or directory: '" + local.string() + "'");
    const bool bRepLocal = fs::is_directory(etat);
    if (bRepLocal && !ctx.options.bRecursif)
        throw ErreurOperation("'" + local.string() + "' is a directory (use 'otdr put -r')");
    if (!bRepLocal && !fs::is_regular_file(etat))
        throw ErreurOperation("'" + local.string() + "' is not a regular file");
    std::string nomLocal = local.filename().string();
    if (nomLocal.empty() || nomLocal == "." || nomLocal == "..")
        nomLocal = fs::weakly_canonical(fs::absolute(local, ec), ec).filename().string();

    CConnexionFtp c(ctx);
    c.Connecter();
    const std::string& operande = ctx.options.operandes[1];
    std::string abs = c.Absolu(operande);
    const bool bDansRep = FinitParBarre(operande) || c.EstRepertoire(abs);

    if (!bRepLocal) {
        if (bDansRep) abs = CheminDistant::Joindre(abs, nomLocal);
        const uint64_t taille = fs::file_size(local, ec);
        if (ctx.options.bEssai) {
            Selection::CEssai essai;
            essai.Ajouter("upload", local.string(), abs, ec ? -1 : static_cast<long long>(taille));
            essai.Imprimer(ctx.options.bJson);
            return SORTIE_SUCCES;
        }
        CProgression prog(ctx.options.eProgres, ec ? 0 : taille, 1);
        if (!TransfererFichier(c, prog, tOperation::EnvoyerFichier, abs, local))
            throw ErreurOperation("cannot upload '" + local.string() + "' to '" + abs + "': " + Raison(c));
        return SORTIE_SUCCES;
    }

    const std::string racine = bDansRep ? CheminDistant::Joindre(abs, nomLocal) : abs;
    const Selection::CFiltre filtre(ctx.options);
    if (ctx.options.bEssai) return EssaiEnvoi(ctx, local, racine, filtre);
    CVerrouDossier verrou;
    VerrouillerDossier(verrou, local, ErreurSiAbsent::Oui);
    CProgression prog(ctx.options.eProgres, 0, 0);
    CSuiviProgression suivi(prog, CSuiviProgression::tTotaux::ParRepertoire,
                            Selection::Filtrer({}, filtre, nullptr, false).avantFichier);
    const auto travail = CMoteurTransferts::tTravail::De(tOperation::EnvoyerArbre, Large(racine), LargeChemin(local));
    const CParcoursDistant::tBilan bilan = ExecuterTravail(c, travail, suivi).parcours;
    prog.Terminer();
    NoterSessions(ctx, bilan);
    if (!ctx.options.bSilencieux)
        std::printf("%s\n", Visible(Resume("Uploaded", bilan.nFichiers, prog.OctetsFaits(), "to " + racine,
                                           prog.Secondes()) + LiensIgnores(bilan)).c_str());
    SignalerBilan(bilan, "uploaded");
    return SORTIE_SUCCES;
}

// ---------------------------------------------------------------- rm, mkdir, rmdir

namespace {

void SupprimerUn(CConnexionFtp& c, const std::string& abs)
{
    const tInfosFichierFtp infos = EtatExistant(c, abs);
    if (CFTPDirect::IsDirectory(infos))
        throw ErreurOperation("'" + abs + "' is a directory (use 'otdr rmdir')");
    if (c.Ftp().SetCurrentDirectoryW(Large(CheminDistant::Parent(abs)), 0) != 0)
        throw ErreurOperation("no such directory on the instrument: '" + CheminDistant::Parent(abs) + "' (" +
                              Raison(c) + ")");
    if (!c.Ftp().DelFile(Large(CheminDistant::Nom(abs))))
        throw ErreurOperation("cannot delete '" + abs + "' on the instrument: " + Raison(c));
}

} // namespace

int CommandeRm(tContexte& ctx)
{
    VerifierOperandes(ctx, 1, static_cast<size_t>(-1), "rm REMOTE...");
    CConnexionFtp c(ctx);
    c.Connecter();
    const std::vector<std::string> cibles = Selection::Developper(c, ctx.options.operandes, false);
    Selection::CEssai essai;
    int nSortie = SORTIE_SUCCES;
    for (const std::string& abs : cibles) {
        try {
            if (ctx.options.bEssai) {
                if (CFTPDirect::IsDirectory(EtatExistant(c, abs)))
                    throw ErreurOperation("'" + abs + "' is a directory (use 'otdr rmdir')");
                essai.Ajouter("delete", abs, "");
            } else {
                SupprimerUn(c, abs);
            }
        } catch (const CErreurOtdr& e) {
            if (cibles.size() == 1) throw;
            EcrireErreur(e.what(), e.Sortie());
            nSortie = SORTIE_ECHEC;
        }
    }
    if (ctx.options.bEssai) essai.Imprimer(ctx.options.bJson);
    return nSortie;
}

int CommandeMkdir(tContexte& ctx)
{
    VerifierOperandes(ctx, 1, 1, "mkdir REMOTE");
    CConnexionFtp c(ctx);
    c.Connecter();
    const std::string abs = c.Absolu(ctx.options.operandes[0]);
    if (abs == "/")
        throw ErreurOperation("'/' already exists on the instrument");
    if (ctx.options.bEssai) {
        if (c.EstRepertoire(abs)) throw ErreurOperation("'" + abs + "' already exists on the instrument");
        Selection::CEssai essai;
        essai.Ajouter("create directory", abs, "");
        essai.Imprimer(ctx.options.bJson);
        return SORTIE_SUCCES;
    }
    const short n = c.CreerRepertoire(abs);
    if (n == 3)
        throw ErreurOperation("no such directory on the instrument: '" + CheminDistant::Parent(abs) + "' (" +
                              Raison(c) + ")");
    if (n != 0) {
        const std::string raison = Raison(c);
        if (c.EstRepertoire(abs))
            throw ErreurOperation("'" + abs + "' already exists on the instrument");
        throw ErreurOperation("cannot create '" + abs + "' on the instrument: " + raison);
    }
    return SORTIE_SUCCES;
}

int CommandeRmdir(tContexte& ctx)
{
    VerifierOperandes(ctx, 1, 1, "rmdir [-r] REMOTE");
    CConnexionFtp c(ctx);
    c.Connecter();
    const std::string abs = c.Absolu(ctx.options.operandes[0]);
    if (abs == "/")
        throw ErreurOperation("the root directory of the instrument is never removed");
    const tInfosFichierFtp infos = EtatExistant(c, abs);
    if (!CFTPDirect::IsDirectory(infos))
        throw ErreurOperation("no such directory on the instrument: '" + abs + "' (" + Raison(c) + ")");
    if (ctx.options.bEssai) {
        Selection::CEssai essai;
        essai.Ajouter(ctx.options.bRecursif ? "remove directory and all it holds" : "remove directory", abs, "");
        essai.Imprimer(ctx.options.bJson);
        return SORTIE_SUCCES;
    }

    if (ctx.options.bRecursif) {
        CMoteurTransferts::IAbonne sansSuivi;
        const auto travail = CMoteurTransferts::tTravail::De(tOperation::SupprimerArbre, Large(abs), CString());
        SignalerBilan(ExecuterTravail(c, travail, sansSuivi).parcours, "removed");
        return SORTIE_SUCCES;
    }
    const short n = c.Ftp().RemDir(Large(CheminDistant::Nom(abs)), Large(CheminDistant::Parent(abs)));
    if (n != 0)
        throw ErreurOperation("cannot remove '" + abs + "' on the instrument: " + Raison(c) +
                              " (not empty? use 'otdr rmdir -r')");
    return SORTIE_SUCCES;
}
