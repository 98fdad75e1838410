// otdr scan: the instruments answering on a network. The probing is the
// library's (SonderAppareils); this file only shows what it found.

#include <algorithm>
#include <cstdio>

#include "Affichage.h"
#include "Contexte.h"
#include "Erreurs.h"
#include "Json.h"
#include "comm/SondeAppareils.h"

namespace {

void ImprimerTableau(const std::vector<tAppareilSonde>& resultats)
{
    std::vector<std::vector<std::string>> lignes{{"ADDRESS", "MODEL", "VERSION", "SERIAL"}};
    for (const tAppareilSonde& r : resultats) {
        if (r.eEtat == eEtatSonde::Identifie)
            lignes.push_back({Visible(r.strAdresse), Visible(r.strModele), Visible(r.strVersion),
                              Visible(r.strNumeroSerie)});
        else if (r.eEtat == eEtatSonde::Muet || r.eEtat == eEtatSonde::Inconnu)
            lignes.push_back({Visible(r.strAdresse), "(not identified: " + Visible(r.strRaison) + ")"});
    }
    if (lignes.size() == 1) return;
    size_t largeurs[3] = {0, 0, 0};
    for (const auto& l : lignes)
        if (l.size() == 4)
            for (size_t i = 0; i < 3; ++i) largeurs[i] = std::max(largeurs[i], l[i].size());
    for (const auto& l : lignes) {
        std::string texte;
        for (size_t i = 0; i < l.size(); ++i) {
            texte += l[i];
            if (i + 1 < l.size()) texte += std::string(largeurs[i] - std::min(largeurs[i], l[i].size()) + 2, ' ');
        }
        std::printf("%s\n", texte.c_str());
    }
}

std::string DocumentJson(const std::vector<tAppareilSonde>& resultats, unsigned nPort)
{
    CEcrivainJson j;
    j.DebutObjet().Cle("port").Valeur(static_cast<int>(nPort)).Cle("probed").Valeur(uint64_t(resultats.size()));
    j.Cle("instruments").DebutTableau();
    for (const tAppareilSonde& r : resultats) {
        if (r.eEtat != eEtatSonde::Identifie) continue;
        j.DebutObjet().Cle("address").Valeur(r.strAdresse).Cle("maker").Valeur(r.strFabricant);
        j.Cle("model").Valeur(r.strModele).Cle("version").Valeur(r.strVersion);
        j.Cle("serial").Valeur(r.strNumeroSerie).FinObjet();
    }
    j.FinTableau().Cle("unidentified").DebutTableau();
    for (const tAppareilSonde& r : resultats) {
        if (r.eEtat != eEtatSonde::Muet && r.eEtat != eEtatSonde::Inconnu) continue;
        j.DebutObjet().Cle("address").Valeur(r.strAdresse).Cle("reason").Valeur(r.strRaison).Cle("reply");
        r.strReponse ? j.Valeur(*r.strReponse) : j.Nul();
        j.FinObjet();
    }
    j.FinTableau().FinObjet();
    return j.Texte();
}

} // namespace

int CommandeScan(tContexte& ctx)
{
    const tOptionsOtdr& o = ctx.options;
    if (o.operandes.empty())
        throw ErreurUsage("missing operand: usage: otdr scan [--port N] TARGET... (see 'otdr scan --help')");
    tParametresSonde p;
    if (o.port && *o.port != PORT_PAR_DEFAUT) p.nPort = static_cast<unsigned>(*o.port);
    if (o.delaiMs) {
        const int n = static_cast<int>(std::min<long>(*o.delaiMs, 86400000L));
        p.nConnexionMs = n;
        p.nReponseMs = n;
    }
    if (o.bVerbeux) {
        p.trace = [](const std::string& adresse, eSensTrace sens, const std::string& texte) {
            const bool bCr = !texte.empty() && texte.back() == '\r';
            const char* sensTexte = sens == eSensTrace::Envoi ? "> " : sens == eSensTrace::Reception ? "< " : "";
            EcrireTrace("scan " + adresse, sensTexte + texte.substr(0, texte.size() - (bCr ? 1 : 0)));
        };
    }
    std::vector<tAppareilSonde> resultats;
    std::string erreur;
    if (!SonderAppareils(o.operandes, p, resultats, erreur))
        throw ErreurUsage(erreur);

    if (o.bJson)
        std::printf("%s\n", DocumentJson(resultats, p.nPort).c_str());
    else
        ImprimerTableau(resultats);
    const bool bTrouve = std::any_of(resultats.begin(), resultats.end(),
                                     [](const tAppareilSonde& r) { return r.eEtat == eEtatSonde::Identifie; });
    if (!bTrouve)
        throw ErreurOperation("no instrument identified itself on port " + std::to_string(p.nPort) + " (" +
                              std::to_string(resultats.size()) +
                              (resultats.size() == 1 ? " address" : " addresses") + " probed)");
    return SORTIE_SUCCES;
}
