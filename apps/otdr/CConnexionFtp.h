#pragma once
// The FTP side of the CLI: one logged-in CFTPDirect on the instrument's address
// and FTP port, with the login order of the driver's file transfer entry point
// (paths are UTF-8, absolute once resolved; the path rules are CheminDistant's;
// tree walks are CParcoursDistant's).

#include <memory>
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
    // One more client logged in as Connecter was, for the parallel copies
    // (--parallel): null when the server refuses it. Safe from any thread.
    std::unique_ptr<CFTPDirect> NouvelleSession() const;
    // Gives a walker --parallel's connections (made with NouvelleSession).
    template <class TParcours> void Partager(TParcours& parcours) const
    {
        if (m_ctx.options.nParallele > 1)
            parcours.SetParallele(m_ctx.options.nParallele, [this] { return NouvelleSession(); });
    }
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
    void Regler(CFTPDirect& ftp) const;

    const tContexte& m_ctx;
    CString m_strUtilisateur;   // the login that worked
    CString m_strMotDePasse;
    CFTPDirect m_ftp;
    std::string m_strInitial = "/";
};
