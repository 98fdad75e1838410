#pragma once
// The computer's pane of the file transfer dialog: the drive selector, the
// directory list and the file table over the local file system (PanneauLocal).
// Its directory always ends with "/"; names are joined to it as they are.

#include <vector>

#include "common/CString.h"
#include "ui/CVoletTransfert.h"
#include "ui/PanneauLocal.h"

class CVoletLocal : public CVoletTransfert
{
public:
    CVoletLocal(CDlgFileTransfert& dlg, CString& strRep);

    // Lists the directory, or falls back to home and then to "/"; selects the
    // directory's drive and sorts the file table by the dialog's column.
    void Remplir() override;
    CString Parent() const override;
    bool NomSur(const CString& strNom) const override;
    CString CheminFichier(const CString& strNom) const override;
    CString CheminRepertoire(const CString& strNom) const override;
    bool EstLien(const CString& strChemin) const override;
    bool CreerRepertoire(const CString& strNom) override;
    bool SupprimerFichier(const CString& strNom) override;
    bool Renommer(const CString& strAncien, const CString& strNouveau) override;
    bool SupprimerRepertoire(const CString& strNom) override;
    CString DerniereErreur() const override { return m_strErreur; }
    bool InfosFichier(const CString& strNom, uint64_t& nTaille, long long& nDateUtc) const override;
    std::vector<CString> SousRepertoires() const override;

    // The drive selector's entries, the first one selected.
    void RemplirLecteurs();
    // Moves to the root of the drive chosen in the selector.
    void ChangerLecteur();

private:
    // What the last fill found (names only), for the recursions: the
    // controls' texts are for the user.
    PanneauLocal::tContenuLocal m_contenu;
    CString m_strErreur;  // why the last operation failed
};
