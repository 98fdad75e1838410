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
// except the root "/". Every operation runs to its end inside its handler,
// but its FTP and file work runs on a thread of its own (CTravailDialogue)
// while the handler waits: the windows stay painted, the status line under the
// panes and the progress bar show what is done in files and bytes, and only
// the operation's "Cancel" takes the user's input; the rest is dropped.
// Copies ask before overwriting a file (CDecisionEcrasement); "Delete files"
// asks once. Copies and deletions that fail for some files end with one
// message naming them with the cause; the status line sums up what was done
// and what was not. Recursive copies and removals never act on a directory
// other than the one they entered: when a pane falls back (local to home or
// "/", remote to "/") or a directory cannot be created, that directory is
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
//                                    entry, removal confirmation
//   CDlgFileTransfertTravail.cpp     the work off the dialog's thread: one
//                                    operation's start and end, progress,
//                                    cancel, the copy of one file (with the
//                                    overwrite question), the failure message
//   CDlgFileTransfertArbres.cpp      recursive copies and removals
//   CDlgFileTransfertTri.cpp         sorting the file tables
//   CDlgFileTransfertJournal.cpp     the session log pane, and Retry of the
//                                    files a copy could not handle

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "common/CString.h"
#include "common/Export.h"
#include "ftp/CParcoursDistant.h"
#include "ui/CDecisionEcrasement.h"
#include "ui/CDialogue.h"
#include "ui/CJournalTransfert.h"
#include "ui/CProgressionTransfert.h"
#include "ui/CTravailDialogue.h"
#include "ui/CVoletDistant.h"
#include "ui/CVoletLocal.h"
#include "ui/TriListe.h"

class CFTPDirect;
struct tInfosFichierFtp;

class CDlgFileTransfert : public CDialogue
{
public:
    // Template 2055; m_strRepLocal and m_strRepDistant from the profile
    // (defaults: the user's home directory and "/").
    CDlgFileTransfert();
    ~CDlgFileTransfert() override;

    // Stores the credentials and the client, then logs in when pFtp is not
    // null (off the calling thread, which waits as for any operation; a
    // cancel from the client stops it). Returns the login result (1 logged
    // in, 0 not); 0 leaves the remote pane disabled.
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
    // The status line's text.
    CString GetEtat() const;
    // Whether the session log is shown (remembered in the profile).
    bool JournalVisible() const { return m_bJournal != 0; }

    // Deepest level a recursive copy or removal descends to below the
    // directory chosen (deeper directories are skipped and named).
    static constexpr int PROFONDEUR_MAX = CParcoursDistant::PROFONDEUR_MAX;
    void SetProfondeurMax(int nProfondeur) { m_nProfondeurMax = nProfondeur; }

    // --- long operations (CDlgFileTransfertTravail.cpp). What a recursive
    //     copy or removal builds on: run its walk with ExecuterHorsFil, grow
    //     the totals with Progression().AjouterAFaire as it finds files, hand
    //     each file to TelechargerFichier or EnvoyerFichier (which ask
    //     before overwriting through DecisionEcrasement()), stop when
    //     Annule(), and note what it could not do with NoterEchec.

    // One operation of the user, nested calls counted: the outermost start
    // rearms the client's cancel, clears the counts and the failures and
    // shows "Cancel"; the outermost end sums up in the status line and shows
    // the failures.
    void DebutOperation();
    void FinOperation();
    // Runs `travail` off the dialog's thread and waits for it (inline when
    // already off it). The windows stay painted; "Cancel" stays live.
    void ExecuterHorsFil(const std::function<void()>& travail);
    // The user's "Cancel": stops the operation in course at once.
    void Annuler();
    bool Annule() const { return m_bAnnule; }
    CProgressionTransfert& Progression() { return m_progression; }
    CDecisionEcrasement& DecisionEcrasement() { return m_decision; }
    // Copies one file, from any thread: progress, the overwrite question when
    // the target exists, the failure noted with its cause. pExistant: the
    // remote target's listing entry when there is one.
    tIssueFichier TelechargerFichier(const CString& strDistant, const tInfosFichierFtp& source,
                                     const CString& strLocal);
    tIssueFichier EnvoyerFichier(const CString& strLocal, const CString& strDistant,
                                 const tInfosFichierFtp* pExistant);
    // Thread-safe; a failure noted after a cancel is only "not done", unless
    // bMemeAnnule (an upload cut short that stayed on the instrument).
    void NoterEchec(const CString& strChemin, const CString& strCause, bool bMemeAnnule = false);

protected:
    void DoDataExchange(int bSauver) override;
    int OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnDestroy() override;
    void OnSize(int nLargeur, int nHauteur) override;
    void OnCommande(unsigned nId, tNotification notification, int nParametre) override;

private:
    friend class CVoletTransfert;
    friend class CVoletDistant;

    void Activer(unsigned nId, bool bActif);
    void Afficher(unsigned nId, bool bVisible);

    // Layout, by region; each returns or takes the bounds it shares.
    struct tZone { int l, t, r, b; };
    tRect RectDe(unsigned nId) const;
    void Placer(unsigned nId, int x, int y, int cx, int cy);
    // The status strip and the bars above it; returns the top of the bars.
    int PlacerBandeEtat(const tRect& client);
    void PlacerColonneCentrale(const tRect& client);
    // The panes above B.
    void PlacerVolets(const tRect& client, int B);
    void PlacerVoletLocal(const tZone& haut, const tZone& liste, int nMilieu);
    void PlacerVoletDistant(const tZone& haut, const tZone& liste);
    void PlacerRangee(const tZone& z, const CVoletTransfert::tIds& ids);
    // The bars of a copy: the file's and the whole operation's.
    void AfficherBarres(const tEtatProgression& e);
    bool EstActif(unsigned nId) const;
    // Enabled and shown: a user could press it.
    bool Utilisable(unsigned nId) const;
    CVoletTransfert& Autre(const CVoletTransfert& volet);
    CVoletTransfert* VoletDe(unsigned nIdListe);

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
    // Keys, context menu and renaming (CDlgFileTransfertMenu.cpp).
    void Commander(unsigned nId);
    // Delete and command keys, the context menu and drops on a list.
    void CommandeListe(unsigned nIdListe, tNotification n, int nParametre);
    void SupprimerDepuisListe(unsigned nIdListe);
    void ToucheListe(unsigned nIdListe, tTouche touche);
    void MenuListe(unsigned nIdListe);
    std::vector<tEntreeMenu> EntreesMenu(CVoletTransfert& volet, unsigned nIdListe);
    // The one file or directory selected in that list, or "".
    CString NomARenommer(CVoletTransfert& volet, unsigned nIdListe) const;
    void OuvrirRenommage(CVoletTransfert& volet, unsigned nIdListe);
    void Renommer(CVoletTransfert& volet);
    // After a copy, the focus goes back to the pane it was copied from.
    void FocaliserSource(CVoletTransfert& volet);
    // Escape on an open name entry or removal question closes it; true then.
    bool FermerQuestionOuverte();

    // "Delete files" and the Delete key: asks once, then deletes.
    void DemanderSuppressionFichiers(CVoletTransfert& volet);
    // Single-level work shared by the buttons and the recursions, off the
    // dialog's thread; each counts its files and notes what failed.
    void CopierFichiersDistantsSelectionnes();
    void CopierFichiersLocauxSelectionnes();
    void SupprimerFichiersSelectionnes(CVoletTransfert& volet);
    // The progress bar and the status line from the progress, on the
    // dialog's thread while the work runs; the summary at the end.
    void AfficherProgression();
    void FinProgression();
    void SetEtat(const CString& strTexte);
    // What the dialog is doing outside an operation ("Listing /Traces ..."),
    // until the work ends.
    void SetEtatActivite(unsigned idFormat, const CString& strSujet);
    CString TexteProgression(const tEtatProgression& etat) const;
    CString TexteBilan(const tEtatProgression& etat) const;
    // The question about an existing target, on the dialog's thread.
    tReponseEcrasement DemanderEcrasement(const tQuestionEcrasement& question);
    // Whether a copy over an existing file goes on (any thread); when not,
    // how the file ends (skipped, or the whole operation cancelled).
    bool EcrasementAccepte(const tQuestionEcrasement& question, tIssueFichier& issue);
    // Why the client's last operation failed ("" when it does not say).
    CString CauseFtp() const;

    // Runs one walk of the shared tree walker with the dialog's hooks (the
    // progress bar) and notes what it skipped or could not do. True when it
    // did everything.
    enum class tSensParcours { VersLocal, VersDistant, Suppression };
    bool Parcourir(tSensParcours sens, const std::function<CParcoursDistant::tBilan(CParcoursDistant&)>& marche);
    // The walk's hooks (any thread): progress, the overwrite question, the cancel.
    CParcoursDistant::tRappels RappelsParcours(tSensParcours sens);
    // Whether a copy over an existing target goes on (the question when it
    // exists); when not, how the file ends.
    bool CopieVersLocalAcceptee(const CString& strNom, const tInfosFichierFtp& source, const CString& strLocal,
                                tIssueFichier& issue);
    bool CopieVersDistantAcceptee(const CString& strNom, uint64_t nTaille, long long nDate,
                                  const CString& strDistant, const tInfosFichierFtp& existant, tIssueFichier& issue);
    // After a cancelled upload: names the file when it stayed on the instrument.
    void NoterEnvoiInterrompu(const CString& strDistant);
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

    void NoterEchec(const CString& strChemin) { NoterEchec(strChemin, CString()); }

    // --- the session log and Retry (CDlgFileTransfertJournal.cpp)
    void InitialiserJournal();
    void BasculerJournal();
    void MontrerJournal();
    // Moves the lines the work wrote into the log's list (dialog's thread).
    void ViderJournal();
    // Below the panes when shown, above the bars; returns the top left to the panes.
    int PlacerJournal(const tRect& client, int B);
    void CommandeJournal(tNotification n, int nParametre);
    void CopierJournal();
    // One file's outcome (any thread); failures are written by NoterEchec.
    void Journaliser(const CString& strChemin, tIssueFichier issue);
    tIssueFichier FinFichier(const CString& strChemin, tIssueFichier issue);
    // The failures that are files of the copy's source pane, in its directory
    // now: the names that Retry selects again.
    std::vector<CString> NomsAReessayer(const std::vector<std::pair<CString, CString>>& echecs);
    CVoletTransfert* VoletReessai();
    // The failure message; with Retry when some files can be copied again.
    void SignalerEchecs(const std::vector<std::pair<CString, CString>>& echecs);

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
    int m_nProfondeurMax = PROFONDEUR_MAX;

    // --- the running operation
    enum class tGenre { Aucun, Copie, Suppression };
    int m_nOperations = 0;
    tGenre m_genre = tGenre::Aucun;
    CTravailDialogue m_travail;
    CProgressionTransfert m_progression;
    CDecisionEcrasement m_decision;
    std::atomic<bool> m_bAnnule{false};
    std::mutex m_mutexEchecs;
    std::vector<std::pair<CString, CString>> m_vecEchecs;  // path, cause
    // Clicks the dialog posted to itself while a wait ran: delivered after.
    std::vector<unsigned> m_vecClicsDifferes;
    CString m_strEtat;  // the status line between operations
    CString m_strARenommer;  // the name the open rename entry replaces

    // Shared with the client's trace, which may outlive the dialog.
    std::shared_ptr<CJournalTransfert> m_pJournal = std::make_shared<CJournalTransfert>();
    int m_bJournal = 0;
    // The copy button of the operation in course, which Retry clicks again.
    unsigned m_nCommandeReessai = 0;
};
