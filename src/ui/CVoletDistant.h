#pragma once
// The instrument's pane of the file transfer dialog: the path field, the
// directory list and the file table over the dialog's FTP client. Its
// directory is absolute, without a final "/" but for the root; the path rules
// are CheminDistant's. Without a client the pane does nothing.

#include <vector>

#include "common/CString.h"
#include "ftp/InfosFichierFtp.h"
#include "ui/CVoletTransfert.h"

class CVoletDistant : public CVoletTransfert
{
public:
    CVoletDistant(CDlgFileTransfert& dlg, CString& strRep);

    // Lists the directory through GetDir, which falls back to the root when
    // the instrument cannot enter it. While a recursion runs, rows carry their
    // names only and are not sorted. A listing cancelled by the user leaves
    // the pane as it was, its directory back to the one shown; once a
    // recursion has been cancelled, nothing more is listed.
    void Remplir() override;
    void Actualiser() override;
    CString Parent() const override;
    bool Disponible() const override;
    bool NomSur(const CString& strNom) const override;
    CString CheminFichier(const CString& strNom) const override;
    CString CheminRepertoire(const CString& strNom) const override;
    bool CreerRepertoire(const CString& strNom) override;
    bool SupprimerFichier(const CString& strNom) override;
    bool Renommer(const CString& strAncien, const CString& strNouveau) override;
    bool SupprimerRepertoire(const CString& strNom) override;
    CString DerniereErreur() const override;
    bool InfosFichier(const CString& strNom, uint64_t& nTaille, long long& nDateUtc) const override;
    // The last fill's entry of a file, or null.
    const tInfosFichierFtp* Fichier(const CString& strNom) const;
    std::vector<CString> SousRepertoires() const override;
    // Also enables "Remove" and "Cancel" again.
    void FermerConfirmation() override;

    // Applies the path typed in the path field (read by data exchange).
    void Valider();

private:
    // The subdirectories and files of the last fill, for the recursions and
    // the copies.
    std::vector<CString> m_vecReps;
    std::vector<tInfosFichierFtp> m_vecFichiers;
};
