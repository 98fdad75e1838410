// otdr sync: the local copy of a remote tree brought up to date (the decisions
// are the library's CSynchroDistante; this prints what it did).

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "Affichage.h"
#include "CConnexionFtp.h"
#include "CProgression.h"
#include "Contexte.h"
#include "Erreurs.h"
#include "Json.h"
#include "Selection.h"
#include "common/Conversions.h"
#include "ftp/CSynchroDistante.h"

namespace fs = std::filesystem;

namespace {

std::string Etroit(const std::wstring& s) { return WideToUtf8(s); }

void ImprimerJson(const std::string& distant, const fs::path& local, const CSynchroDistante::tBilan& b,
                  uint64_t nOctets)
{
    CEcrivainJson j;
    j.DebutObjet().Cle("remote").Valeur(distant).Cle("local").Valeur(local.string());
    auto chemins = [&j](const char* cle, const std::vector<CString>& liste) {
        j.Cle(cle).DebutTableau();
        for (const CString& c : liste)
            j.Valeur(Etroit(c));
        j.FinTableau();
    };
    chemins("new", b.nouveaux);
    chemins("changed", b.modifies);
    j.Cle("unchanged").Valeur(b.nInchanges);
    j.Cle("failed").DebutTableau();
    for (const CParcoursDistant::tProbleme& p : b.parcours.echecs)
        j.DebutObjet().Cle("path").Valeur(Etroit(p.strChemin)).Cle("reason").Valeur(Etroit(p.strRaison)).FinObjet();
    const char* pszNonFait = b.parcours.bSessionPerdue ? "not done: the connection to the instrument was lost"
                                                       : "not done: stopped";
    for (const CString& c : b.parcours.nonFaits)
        j.DebutObjet().Cle("path").Valeur(Etroit(c)).Cle("reason").Valeur(pszNonFait).FinObjet();
    j.FinTableau();
    j.Cle("resumed").Valeur(b.nRepris).Cle("bytes").Valeur(nOctets).Cle("connections").Valeur(b.parcours.nSessions);
    j.FinObjet();
    std::printf("%s\n", j.Texte().c_str());
}

} // namespace

int CommandeSync(tContexte& ctx)
{
    const std::vector<std::string>& ops = ctx.options.operandes;
    if (ops.size() != 2)
        throw ErreurUsage(std::string(ops.size() < 2 ? "missing operand" : "too many operands") +
                          ": usage: otdr sync REMOTE_DIR LOCAL_DIR (see 'otdr sync --help')");
    const fs::path local(ops[1]);
    std::error_code ec;
    if (fs::exists(local, ec) && !fs::is_directory(local, ec))
        throw ErreurOperation("'" + local.string() + "' exists and is not a directory");
    // One run at a time in a folder (two cron runs that overlap): the second
    // stops here, before connecting, naming the first. A dry run touches nothing.
    CVerrouDossier verrou;
    if (!ctx.options.bEssai) {
        if (!fs::exists(local, ec) && !fs::create_directories(local, ec) && ec)
            throw ErreurOperation("cannot create '" + local.string() + "': " + ec.message());
        std::string raisonVerrou;
        if (!verrou.Prendre(local, raisonVerrou))
            throw ErreurOperation(raisonVerrou);
    }
    CConnexionFtp c(ctx);
    c.Connecter();
    const std::string abs = c.Absolu(ops[0]);
    if (!c.EstRepertoire(abs))
        throw ErreurOperation("no such directory on the instrument: '" + abs + "' (" +
                              Etroit(c.Ftp().GetDerniereErreur()) + ")");

    // The bar counts only the files that move, as the sync finds them.
    const bool bEssai = ctx.options.bEssai;
    CProgression prog(ctx.options.bJson || bEssai ? eProgression::Jamais : ctx.options.eProgres, 0, 0);
    // --include, --exclude, --newer-than; a dry run notes the files that would
    // move and leaves no directory behind.
    const Selection::CFiltre filtre(ctx.options);
    Selection::CEssai essai;
    std::unique_ptr<Selection::CRepertoiresTemoins> temoins;
    if (bEssai) temoins = std::make_unique<Selection::CRepertoiresTemoins>(local);
    CSuiviProgression suivi(prog, CSuiviProgression::tTotaux::ParFichier,
                            Selection::Filtrer({}, filtre, bEssai ? &essai : nullptr, true).avantFichier);
    const CMoteurTransferts::tTravail travail = CMoteurTransferts::tTravail::De(
        CMoteurTransferts::tOperation::Synchroniser, CString(Utf8ToWide(abs)), CString(Utf8ToWide(local.string())));
    const CSynchroDistante::tBilan b = ExecuterTravail(c, travail, suivi).synchro;
    prog.Terminer();
    NoterSessions(ctx, b.parcours);
    if (bEssai) {
        temoins.reset();
        essai.Imprimer(ctx.options.bJson);
        SignalerBilan(b.parcours, "compared");
        return SORTIE_SUCCES;
    }

    if (ctx.options.bJson) {
        ImprimerJson(abs, local, b, prog.OctetsFaits());
        return b.Complet() ? SORTIE_SUCCES : SORTIE_ECHEC;
    }
    const size_t nEchecs = b.parcours.echecs.size() + b.parcours.nonFaits.size();
    const int nCopies = static_cast<int>(b.nouveaux.size() + b.modifies.size());
    std::string ligne = "Synced '" + abs + "' into " + local.string() + ": " + std::to_string(b.nouveaux.size()) +
                        " new, " + std::to_string(b.modifies.size()) + " changed, " + std::to_string(b.nInchanges) +
                        " unchanged, " + std::to_string(nEchecs) + " failed";
    if (b.nRepris > 0)
        ligne += " (" + std::to_string(b.nRepris) + " resumed)";
    char duree[32];
    std::snprintf(duree, sizeof duree, "%.1f", prog.Secondes());
    ligne += "; " + std::to_string(nCopies) + (nCopies == 1 ? " file" : " files") + " fetched (" +
             CProgression::Octets(prog.OctetsFaits()) + ") in " + duree + " s";
    if (!ctx.options.bSilencieux) std::printf("%s\n", Visible(ligne + LiensIgnores(b.parcours)).c_str());
    SignalerBilan(b.parcours, "synced");
    return SORTIE_SUCCES;
}
