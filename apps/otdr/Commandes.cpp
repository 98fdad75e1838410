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

// "d-a---r-" style column: the type, then each attribute letter or '-'.
std::string Attributs(const tInfosFichierFtp& e)
{
    std::string s(1, CFTPDirect::IsDirectory(e) ? 'd' : '-');
    for (wchar_t c : std::wstring(L"achnrs"))
        s += e.m_strAttributs.Find(c) >= 0 ? static_cast<char>(c) : '-';
    return s;
}

// The 'ls -l' style line of an entry; nDebutNom receives where the name starts.
std::string LigneEntree(const tInfosFichierFtp& e, size_t& nDebutNom)
{
    char tete[96];
    const int n = std::snprintf(tete, sizeof tete, "%s %12llu %-19s ", Attributs(e).c_str(),
                                static_cast<unsigned long long>(e.m_nTaille), Visible(Etroit(e.m_strDate)).c_str());
    nDebutNom = static_cast<size_t>(n);
    return std::string(tete, nDebutNom) + Visible(Etroit(e.m_strNom));
}

void ImprimerEntree(const tInfosFichierFtp& e)
{
    size_t nNom = 0;
    std::printf("%s\n", LigneEntree(e, nNom).c_str());
}

// An entry of `ls --json`: the listing's own values, the date also in seconds
// since 1970 UTC when the server's listing gave one.
std::string ObjetEntree(const tInfosFichierFtp& e)
{
    CEcrivainJson j;
    j.DebutObjet().Cle("name").Valeur(Etroit(e.m_strNom));
    j.Cle("type").Valeur(CFTPDirect::IsDirectory(e) ? "directory" : "file");
    j.Cle("size").Valeur(e.m_nTaille).Cle("date").Valeur(Etroit(e.m_strDate)).Cle("time");
    if (e.m_nDateUtc != 0) j.Valeur(e.m_nDateUtc);
    else j.Nul();
    j.Cle("attributes").Valeur(Etroit(e.m_strAttributs)).FinObjet();
    return j.Texte();
}

// The document of `ls --json`: entries sorted by name.
void ImprimerListeJson(const std::string& chemin, std::vector<std::pair<std::string, std::string>> entrees,
                       bool bComplete)
{
    std::sort(entrees.begin(), entrees.end());
    CEcrivainJson j;
    j.DebutObjet().Cle("path").Valeur(chemin).Cle("complete").Valeur(bComplete).Cle("entries").DebutTableau();
    for (const auto& e : entrees) j.Brut(e.second);
    j.FinTableau().FinObjet();
    std::printf("%s\n", j.Texte().c_str());
}

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
    p.nReponseMs = static_cast<int>(AttenteParLecture(nLimiteMs));
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
    std::string raison = Etroit(driver->GetRaisonEchecConnexion());
    if (ctx.options.delaiMs) raison = AttenteReelle(raison, *ctx.options.delaiMs);
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

// The lines of a listing as they will be printed, in blocks of 1 MiB that never
// move: a directory of 100,000 entries costs its printed text and 8 bytes an
// entry, nothing more, and sorting moves only the 8 bytes.
class CLignesListe
{
public:
    void Ajouter(const tInfosFichierFtp& e)
    {
        size_t nNom = 0;
        std::string ligne = LigneEntree(e, nNom);
        if (ligne.size() > 0xFFFF)
            ligne.resize(0xFFFF);  // a name longer than that is shown cut
        if (m_blocs.empty() || m_nUtilise + ligne.size() > kBloc) {
            // Not zeroed: every byte used is written first.
            m_blocs.push_back(std::unique_ptr<char[]>(new char[kBloc]));
            m_nUtilise = 0;
        }
        std::memcpy(m_blocs.back().get() + m_nUtilise, ligne.data(), ligne.size());
        m_lignes.push_back({static_cast<uint32_t>(((m_blocs.size() - 1) << 20) | m_nUtilise),
                            static_cast<uint16_t>(ligne.size()),
                            static_cast<uint16_t>(nNom)});
        m_nUtilise += ligne.size();
    }

    // Drops the entries of these names (names that another name's decoding met).
    void Retirer(const std::vector<CString>& noms)
    {
        for (const CString& n : noms) {
            const std::string v = Visible(Etroit(n));
            m_lignes.erase(std::remove_if(m_lignes.begin(), m_lignes.end(),
                                          [&](const tLigne& l) { return Nom(l) == v; }),
                           m_lignes.end());
        }
    }

    bool Vide() const { return m_lignes.empty(); }

    void ImprimerTrie()
    {
        std::sort(m_lignes.begin(), m_lignes.end(), [this](const tLigne& a, const tLigne& b) { return Nom(a) < Nom(b); });
        for (const tLigne& l : m_lignes) {
            std::fwrite(Debut(l), 1, l.nLongueur, stdout);
            std::fputc('\n', stdout);
        }
    }

private:
    static constexpr size_t kBloc = 1u << 20;
    struct tLigne
    {
        uint32_t nPosition;  ///< block << 20 | offset
        uint16_t nLongueur;
        uint16_t nNom;
    };
    const char* Debut(const tLigne& l) const { return m_blocs[l.nPosition >> 20].get() + (l.nPosition & (kBloc - 1)); }
    std::string_view Nom(const tLigne& l) const { return std::string_view(Debut(l) + l.nNom, l.nLongueur - l.nNom); }
    std::vector<std::unique_ptr<char[]>> m_blocs;
    size_t m_nUtilise = 0;
    std::vector<tLigne> m_lignes;
};

} // namespace

int CommandeLs(tContexte& ctx)
{
    VerifierOperandes(ctx, 0, 1, "ls [REMOTE_DIR]");
    CConnexionFtp c(ctx);
    c.Connecter();
    const std::string abs = ctx.options.operandes.empty() ? c.RepertoireInitial() : c.Absolu(ctx.options.operandes[0]);
    // Each entry is kept as its printed line only, as the listing arrives.
    CLignesListe lignes;
    const bool bJson = ctx.options.bJson;
    std::vector<std::pair<std::string, std::string>> json;   // name, object
    CString chemin = Large(abs);
    const short n = c.Ftp().GetDir(&chemin, [&](const tInfosFichierFtp& e) {
        if (CFTPDirect::IsSpecialDir(e.m_strNom)) return;
        if (bJson) json.emplace_back(Etroit(e.m_strNom), ObjetEntree(e));
        else lignes.Ajouter(e);
    }, 0);
    if (n != 0) {
        // Not a directory: the entry itself, from its parent's listing.
        const std::string raison = Raison(c);
        const std::string parent = CheminDistant::Parent(abs);
        CString strParent = Large(parent);
        const std::wstring nom = Utf8ToWide(CheminDistant::Nom(abs));
        bool bTrouve = false;
        if (abs != "/" && c.Ftp().GetDir(&strParent, [&](const tInfosFichierFtp& e) {
                if (!bTrouve && e.m_strNom == nom) {
                    if (bJson) ImprimerListeJson(abs, {{Etroit(e.m_strNom), ObjetEntree(e)}}, true);
                    else ImprimerEntree(e);
                    bTrouve = true;
                }
            }, 0) == 0 && bTrouve)
            return SORTIE_SUCCES;
        // Not in a listing that stopped early says nothing about the path.
        if (abs != "/" && c.Ftp().GetEtatDerniereListe() != CFTPDirect::tEtatListe::Complete &&
            c.Ftp().GetEtatDerniereListe() != CFTPDirect::tEtatListe::Refusee)
            throw ErreurOperation(CConnexionFtp::ListeIncomplete(parent, c.Ftp().GetEtatDerniereListe(), Raison(c)));
        throw ErreurOperation("no such directory on the instrument: '" + abs + "' (" + raison + ")");
    }
    const CFTPDirect::tEtatListe etat = c.Ftp().GetEtatDerniereListe();
    const std::string raisonListe = Raison(c);
    const std::vector<CString> doublons = c.Ftp().GetNomsEnDoublon();
    lignes.Retirer(doublons);
    for (const CString& d : doublons) {
        const std::string nomDouble = Etroit(d);
        json.erase(std::remove_if(json.begin(), json.end(), [&](const auto& e) { return e.first == nomDouble; }),
                   json.end());
    }
    const bool bVide = bJson ? json.empty() : lignes.Vide();
    if (bJson) ImprimerListeJson(abs, std::move(json), etat == CFTPDirect::tEtatListe::Complete);
    else lignes.ImprimerTrie();
    if (etat != CFTPDirect::tEtatListe::Complete)
        throw ErreurOperation(CConnexionFtp::ListeIncomplete(abs, etat, raisonListe) +
                              (bVide ? "" : ": the entries shown are only part of it"));
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
