// The otdr command line (AnalyserLigne): the input is argv without argv[0],
// its arguments separated by NUL bytes. A first argument "OTDR_TIMEOUT=..."
// sets that variable for the run instead.
//
// Invariants: the parser returns or throws CErreurOtdr, nothing else; a
// refusal is exit status 2 with a message that prints as one line; an
// accepted line names a known command (or none), ports 1-65535 or "default",
// a time limit of 1 ms to one day, an address without blanks, a non-empty
// profile path, -r only where it applies, 1 to 64 jobs, 1 to 16 parallel
// connections, and a fleet file only for the commands that run per
// instrument, never beside --address; a shard I/N (0 <= I < N) only with one.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "Affichage.h"
#include "Erreurs.h"
#include "Invariant.h"
#include "OptionsOtdr.h"

namespace {

bool PortValide(const std::optional<int>& p) { return !p || *p == PORT_PAR_DEFAUT || (*p >= 1 && *p <= 65535); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* donnees, size_t taille)
{
    static const bool bEnvironnementVide = [] {
        ::unsetenv("OTDR_PASSWORD");
        ::unsetenv("OTDR_TIMEOUT");
        return true;
    }();
    (void)bEnvironnementVide;

    const std::string entree(reinterpret_cast<const char*>(donnees), taille);
    std::vector<std::string> args;
    for (size_t debut = 0; !entree.empty() && debut <= entree.size() && args.size() < 64;) {
        const size_t fin = std::min(entree.find('\0', debut), entree.size());
        args.push_back(entree.substr(debut, fin - debut));
        debut = fin + 1;
    }
    const std::string variable = "OTDR_TIMEOUT=";
    const bool bVariable = !args.empty() && args[0].compare(0, variable.size(), variable) == 0;
    if (bVariable) {
        ::setenv("OTDR_TIMEOUT", args[0].c_str() + variable.size(), 1);
        args.erase(args.begin());
    }

    try {
        const tOptionsOtdr o = AnalyserLigne(args);
        VERIFIER(o.strCommande.empty() || CommandeConnue(o.strCommande));
        VERIFIER(PortValide(o.port) && PortValide(o.portFtp));
        VERIFIER(!o.delaiMs || (*o.delaiMs >= 1 && *o.delaiMs <= 86400000));
        VERIFIER(o.nParallele >= 1 && o.nParallele <= 16);
        VERIFIER(!o.adresse || (!o.adresse->empty() && o.adresse->find_first_of(" \t\r\n") == std::string::npos));
        VERIFIER(!o.profil || !o.profil->empty());
        VERIFIER(!o.bRecursif || o.bAide || o.strCommande == "get" || o.strCommande == "put" ||
                 o.strCommande == "rmdir");
        VERIFIER(o.operandes.size() + (o.strCommande.empty() ? 0 : 1) <= args.size());
        VERIFIER(o.nTaches >= 1 && o.nTaches <= JOBS_MAX);
        VERIFIER(!o.flotte || o.bAide ||
                 (!o.flotte->empty() && !o.adresse && o.strCommande != "config" && o.strCommande != "scan"));
        VERIFIER(!o.tranche || ((o.flotte || o.bAide) && o.tranche->nIndice >= 0 &&
                                o.tranche->nIndice < o.tranche->nNombre));
    } catch (const CErreurOtdr& e) {
        VERIFIER(e.Sortie() == SORTIE_USAGE);
        const std::string ligne = "otdr: " + Visible(e.what());
        VERIFIER(std::string(e.what()).size() > 0 && ligne.find_first_of("\r\n") == std::string::npos);
    }
    if (bVariable) ::unsetenv("OTDR_TIMEOUT");
    return 0;
}
