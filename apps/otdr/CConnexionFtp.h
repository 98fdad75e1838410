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

    // Logs in as the driver's file transfer does (IdentifiantsFtp::Connecter):
    // --user and --password as the given credentials; without --user, the
    // instrument's model from the command channel chooses them, and the logins
    // go in turn only when it does not answer. Stops at the first login that
    // cannot reach the server (refused or cut connection, silent greeting).
    // Throws CErreurOtdr(1) with the server's reply or the local reason.
    void Connecter();

    CFTPDirect& Ftp() { return m_ftp; }
    const std::string& RepertoireInitial() const { return m_strInitial; }

    // An operand made absolute: relative to the login directory, "." and ".." resolved.
    std::string Absolu(const std::string& strChemin) const;

    // What a path is, asked of the server for that path alone: a directory
    // (it can be entered, or "/"), else taken for a file (size unknown) whose
    // transfer or command says whether it exists. Always true.
    bool Etat(const std::string& strAbsolu, tInfosFichierFtp& infos);
    bool EstRepertoire(const std::string& strAbsolu);
    // Enters the parent and runs MKD; 0, or the server's failure number.
    short CreerRepertoire(const std::string& strAbsolu);

    // "the listing of '/x' was cut short (426 ...)", for a listing that is not
    // Complete; strRaison: the library's reason, when it gave one.
    static std::string ListeIncomplete(const std::string& strAbsolu, CFTPDirect::tEtatListe etat,
                                       const std::string& strRaison);

private:
    const tContexte& m_ctx;
    CFTPDirect m_ftp;
    std::string m_strInitial = "/";
};
