#pragma once
// The FTP side of the CLI: one logged-in CFTPDirect on the instrument's address
// and FTP port, with the login order of the driver's file transfer entry point
// (paths are UTF-8, absolute once resolved; the path rules are CheminDistant's;
// tree walks are CParcoursDistant's).

#include <string>
#include <vector>

#include "Contexte.h"
#include "ftp/CFTPDirect.h"

class CConnexionFtp
{
public:
    explicit CConnexionFtp(const tContexte& ctx);

    // Logs in in the driver's order for an instrument of unknown model
    // (IdentifiantsFtp::Connecter), with --user and --password as the given
    // credentials. Stops at once when the server cannot be reached. Throws
    // CErreurOtdr(1) on failure.
    void Connecter();

    CFTPDirect& Ftp() { return m_ftp; }
    const std::string& RepertoireInitial() const { return m_strInitial; }

    // An operand made absolute: relative to the login directory, "." and ".." resolved.
    std::string Absolu(const std::string& strChemin) const;

    // Lists a directory into `entrees` ("." and ".." left out). Refusee when it
    // cannot be entered (bEntre false) or the server would not list it;
    // otherwise Complete, or how the listing was cut (the entries then hold
    // what came before).
    CFTPDirect::tEtatListe Lister(const std::string& strAbsolu, std::vector<tInfosFichierFtp>& entrees,
                                  bool& bEntre);
    // The entry of a path from its parent's listing; false when there is none.
    // "/" is a directory. Throws CErreurOtdr(1) when that listing is incomplete.
    bool Etat(const std::string& strAbsolu, tInfosFichierFtp& infos);
    bool EstRepertoire(const std::string& strAbsolu);
    // Enters the parent and runs MKD; 0, or the server's failure number.
    short CreerRepertoire(const std::string& strAbsolu);

    // "the listing of '/x' was cut short", for a listing that is not Complete.
    static std::string ListeIncomplete(const std::string& strAbsolu, CFTPDirect::tEtatListe etat);

private:
    const tContexte& m_ctx;
    CFTPDirect m_ftp;
    std::string m_strInitial = "/";
    int m_nReponses = 0;   // reply lines seen, to tell "unreachable" from "login refused"
};
