#pragma once
// The two-pane file transfer dialog: the computer on the left, the instrument
// (through its CFTPDirect client) on the right, copy buttons between them.
//
// Use: construct (reads the last directories from the profile), log in with
// ConnexionFtp (as many times as needed), then DoModal when it returned 1. The
// client is not owned; the dialog logs it out when its window closes and
// writes the current directories back to the profile ("FtpDirect", "Rep Local"
// and "Rep Distant").
//
// Local directories end with "/" ("/home/ana/traces/"); remote ones do not,
// except the root "/". Every operation runs to its end inside its handler.
// Copies and deletions that fail for some files end with one message naming
// them. Recursive copies and removals never act on a directory other than the
// one they entered: a directory that cannot be entered, listed or created is
// skipped and named in the message; they always end (no directory is walked
// twice, depth is bounded). Trees on the instrument go through the walker the
// command-line tool uses (CParcoursDistant).
//
// The dialog's code, by concern:
//   CDlgFileTransfert.cpp            construction, login, opening and closing,
//                                    events, layout and enabling
//   CVoletTransfert.h, CVoletLocal.h, CVoletDistant.h
//                                    the two panes: filling, browsing, and what
//                                    each side does to its files
//   CDlgFileTransfertOperations.cpp  copies of selected files, deletions, name
//                                    entry, removal confirmation, progress and
//                                    the failure message
//   CDlgFileTransfertArbres.cpp      recursive copies and removals
//   CDlgFileTransfertTri.cpp         sorting the file tables

#include <functional>
#include <vector>

#include "common/CString.h"
#include "common/Export.h"
#include "ftp/CParcoursDistant.h"
#include "ui/CDialogue.h"
#include "ui/CVoletDistant.h"
#include "ui/CVoletLocal.h"
#include "ui/TriListe.h"

class CFTPDirect;

class CDlgFileTransfert : public CDialogue
{
public:
    // Template 2055; m_strRepLocal and m_strRepDistant from the profile
    // (defaults: the user's home directory and "/").
    CDlgFileTransfert();
    ~CDlgFileTransfert() override;

    // Stores the credentials and the client, then logs in when pFtp is not
    // null. Returns the login result (1 logged in, 0 not); 0 leaves the remote
    // pane disabled.
    int ConnexionFtp(CString strUtilisateur, CString strMotDePasse, CFTPDirect* pFtp);

    // --- layout and enabling (CDlgFileTransfert.cpp)
    void PlacerControles();
    void DesactiverDistant();
    void DesactiverTout();
    void ActiverTout();

    // --- panes (CVoletLocal.cpp, CVoletDistant.cpp)
    void RemplirListeLocale();
    void RemplirListeDistante();
    void ChangerLecteur();
    void EntrerRepLocal();
    void EntrerRepDistant();
    void RafraichirLocal();
    void RafraichirDistant();
    void ValiderRepDistant();

    // --- transfers and directory operations (CDlgFileTransfertOperations.cpp;
    //     the tree copies and removals in CDlgFileTransfertArbres.cpp)
    void CopierVersLocal();
    void CopierVersDistant();
    void CopierRepDistantVersLocal(CString strNom);
    void CopierRepLocalVersDistant(CString strNom);
    void SupprimerFichiersLocaux();
    void SupprimerFichiersDistants();
    void OuvrirSaisieRepLocal();
    void OuvrirSaisieRepDistant();
    void FermerSaisieRepLocal();
    void FermerSaisieRepDistant();
    void FiltrerNomLocal();
    void FiltrerNomDistant();
    void CreerRepLocal();
    void CreerRepDistant();
    static int NomRepValide(CString strNom);
    void DemanderSuppressionRepLocal();
    void DemanderSuppressionRepDistant();
    void ConfirmerSuppressionRepLocal();
    void ConfirmerSuppressionRepDistant();
    void FermerConfirmationLocale();
    void FermerConfirmationDistante();
    void SupprimerRepLocal(CString strNom);
    void SupprimerRepDistant(CString strNom);

    // --- sorting (CDlgFileTransfertTri.cpp): orders one file table by a
    //     column in that column's direction
    void TrierListe(int nColonne, IControle* pListe);
    void ClicEnTete(int nColonne);

    // --- state, for hosts and checks
    const CString& GetRepLocal() const { return m_strRepLocal; }
    const CString& GetRepDistant() const { return m_strRepDistant; }
    int EstConnecte() const { return m_bConnecte; }
    int GetSensTri(int nColonne) const { return m_abSensTri[nColonne]; }
    int GetColonneTri() const { return m_nColonneTri; }
    int SaisieRepertoireOuverte() const { return m_bSaisieRepertoire; }
    int TransfertEnCours() const { return m_bTransfertEnCours; }

    // Deepest level a recursive copy or removal descends to below the
    // directory chosen (deeper directories are skipped and named).
    static constexpr int PROFONDEUR_MAX = CParcoursDistant::PROFONDEUR_MAX;
    void SetProfondeurMax(int nProfondeur) { m_nProfondeurMax = nProfondeur; }

protected:
    void DoDataExchange(int bSauver) override;
    int OnInitDialog() override;
    void OnOK() override;
    void OnDestroy() override;
    void OnSize(int nLargeur, int nHauteur) override;
    void OnCommande(unsigned nId, tNotification notification, int nParametre) override;

private:
    friend class CVoletTransfert;
    friend class CVoletDistant;

    void Activer(unsigned nId, bool bActif);
    void Afficher(unsigned nId, bool bVisible);
    bool EstActif(unsigned nId) const;
    CVoletTransfert& Autre(const CVoletTransfert& volet);

    // The operations that are the same on both panes, written once.
    void OuvrirSaisie(CVoletTransfert& volet);
    void FermerSaisie(CVoletTransfert& volet);
    // The name typed in a pane's entry when it is valid; otherwise says so and
    // keeps the entry open.
    bool LireNomRep(CVoletTransfert& volet, CString& strNom);
    void CreerRep(CVoletTransfert& volet);
    void SupprimerFichiers(CVoletTransfert& volet);
    void DemanderSuppression(CVoletTransfert& volet);
    void ConfirmerSuppression(CVoletTransfert& volet);

    // Hands each selected row's name to traiter, with the progress bar.
    void ParcourirSelection(CVoletTransfert& volet, const std::function<void(const CString&)>& traiter);
    // Single-level work shared by the buttons and the recursions; each notes
    // what failed.
    void CopierFichiersDistantsSelectionnes();
    void CopierFichiersLocauxSelectionnes();
    void SupprimerFichiersSelectionnes(CVoletTransfert& volet);
    void DebutProgression(int nTotal);
    void AvancerProgression(int nFaits);
    void FinProgression();

    // Runs one walk of the shared tree walker with the dialog's hooks (the
    // progress bar) and notes what it skipped or could not do. True when it
    // did everything.
    bool Parcourir(const std::function<CParcoursDistant::tBilan(CParcoursDistant&)>& marche);
    // Removes a tree: the remote one through the walker, the local one by
    // walking the local pane, to a bounded depth.
    bool SupprimerRep(CVoletTransfert& volet, const CString& strNom, int nProfondeur);
    // The part of a removal below the directory: enter strChemin, delete its
    // files, remove its subdirectories, and set the pane's directory back (not
    // refilled). False when the pane could not enter it.
    bool ViderRepertoire(CVoletTransfert& volet, const CString& strChemin, int nProfondeur);
    // Moves a pane to strChemin; false (and the path noted) when it fell back
    // elsewhere.
    bool EntrerVolet(CVoletTransfert& volet, const CString& strChemin);

    void NoterEchec(const CString& strChemin);
    // Outermost operation: counts nesting; the last to end shows the failures.
    void DebutOperation();
    void FinOperation();

    // Member order and initial values as the dialog's model has them.
    CString m_strRepLocal;
    CString m_strRepDistant;
    CFTPDirect* m_pFtp = nullptr;
    int m_bSaisieRepertoire = 0;
    int m_abSensTri[3] = {1, 0, 0};
    int m_nColonneTri = 0;
    int m_bTransfertEnCours = 0;
    int m_bConnecte = 0;
    CString m_strUtilisateur;
    CString m_strMotDePasse;

    // The panes work on the directories above.
    CVoletLocal m_voletLocal{*this, m_strRepLocal};
    CVoletDistant m_voletDistant{*this, m_strRepDistant};
    std::vector<CString> m_vecEchecs;
    int m_nOperations = 0;
    int m_nProfondeurMax = PROFONDEUR_MAX;
};
