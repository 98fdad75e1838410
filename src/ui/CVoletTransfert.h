#pragma once
// One pane of the file transfer dialog: its controls, its current directory,
// and what the computer's file system or the instrument does for it. The
// dialog writes each operation that is the same on both sides once, over this
// interface; CVoletLocal and CVoletDistant are the two sides.
//
// A pane is part of its dialog: it lives as long as the dialog, holds a
// reference to the dialog's directory member (m_strRepLocal or
// m_strRepDistant) and works on the dialog's controls.

#include <cstdint>
#include <vector>

#include "common/CString.h"

class CDlgFileTransfert;
class IControle;

class CVoletTransfert
{
public:
    // The controls of one pane: the button row, the name entry and the removal
    // confirmation shown in its place, the directory list and the file table.
    struct tIds
    {
        unsigned nRafraichir, nSupprFichiers, nCreerRep, nSupprRep;
        unsigned nLibelleNom, nNom, nValiderNom, nAnnulerNom;
        unsigned nConfirmer, nAnnulerSuppr, nQuestion;
        unsigned nReps, nFichiers;
    };
    // The name entry serves a new directory (Saisie) or a new name (Renommage).
    enum class tEtatRangee { Normal, Saisie, Renommage, Confirmation };

    CVoletTransfert(CDlgFileTransfert& dlg, CString& strRep, const tIds& ids);
    virtual ~CVoletTransfert();
    CVoletTransfert(const CVoletTransfert&) = delete;
    CVoletTransfert& operator=(const CVoletTransfert&) = delete;

    const tIds& Ids() const { return m_ids; }
    CString& Repertoire() { return m_strRep; }

    // --- what differs between the two sides

    // Refills the pane from its directory, which may fall back elsewhere (the
    // local side to home, then "/"; the remote side to the root).
    virtual void Remplir() = 0;
    // The refill after a single-level operation; the remote side leaves it to
    // a running recursion.
    virtual void Actualiser() { Remplir(); }
    // The directory above the pane's directory (the root stays the root).
    virtual CString Parent() const = 0;
    // False when the side cannot act (the instrument without an FTP client).
    virtual bool Disponible() const { return true; }
    // A name that can be joined to this side's directory.
    virtual bool NomSur(const CString& strNom) const = 0;
    // The path of a file, or of a directory, named in this pane's directory.
    virtual CString CheminFichier(const CString& strNom) const = 0;
    virtual CString CheminRepertoire(const CString& strNom) const = 0;
    // True for a link: a removal removes the link, never what it names.
    virtual bool EstLien(const CString& strChemin) const;
    // Operations on a name in the pane's directory; true on success. Each runs
    // off the dialog's thread (see CDlgFileTransfert::ExecuterHorsFil); on
    // failure DerniereErreur says why ("" when nothing says).
    virtual bool CreerRepertoire(const CString& strNom) = 0;
    virtual bool SupprimerFichier(const CString& strNom) = 0;
    virtual bool SupprimerRepertoire(const CString& strNom) = 0;
    // A file or directory of the pane's directory gets a new name there.
    virtual bool Renommer(const CString& strAncien, const CString& strNouveau) = 0;
    virtual CString DerniereErreur() const = 0;
    // Size and date of a file the last fill listed; false when it listed none
    // of that name.
    virtual bool InfosFichier(const CString& strNom, uint64_t& nTaille, long long& nDateUtc) const = 0;
    // The subdirectories the last fill found ("." and ".." left out): a copy,
    // since the refills of a walk replace them.
    virtual std::vector<CString> SousRepertoires() const = 0;
    // Back from the removal confirmation to the button row; no removal is
    // pending any more.
    virtual void FermerConfirmation();

    // --- the same on both sides

    IControle* Controle(unsigned nId) const;
    void AjouterColonnes();
    // The six buttons of the row (the four operations, "Remove" and "Cancel").
    void ActiverBoutons(bool bActifs);
    // Shows the row's state. A question or the name entry takes the focus
    // when it appears (the entry its field, the question its "Cancel"), and
    // gives it back where it was when it goes (to the directory list when that
    // control is gone or cannot take it).
    void ChangerEtatRangee(tEtatRangee etat);
    tEtatRangee EtatRangee() const { return m_etatRangee; }
    // The focus to one of this pane's controls, when it can take it.
    void Focaliser(unsigned nId);
    void Rafraichir();
    // Double-click in the directory list: into the selected directory, or up
    // for "[..]".
    void EntrerSelection();
    // Up one level (Backspace), as "[..]" does.
    void MonterAuParent();
    // The selected directory's name ("[name]" in the list), empty when none.
    CString RepertoireSelectionne() const;
    bool RepertoireEstSelectionne() const;
    void SelectionnerRep(const CString& strNom);
    // The names of the selected files, in row order.
    std::vector<CString> NomsSelectionnes() const;
    int NombreFichiersSelectionnes() const;
    void SelectionnerTout();
    // Selects exactly these files of the table (and no directory).
    void SelectionnerFichiers(const std::vector<CString>& noms);
    // Whether the file table lists that name.
    bool ContientFichier(const CString& strNom) const;
    // Within a pane, either a directory or files are selected, never both:
    // the list that gains the focus clears the other's selection.
    void PriseFocus(unsigned nId);

    // The removal question names the selected directory and remembers it:
    // "Remove" removes that one, whatever is selected by then, and any change
    // of the selection (or of the pane's directory) withdraws the question.
    // False when no directory (or "[..]") is selected.
    bool DemanderSuppression();
    const CString& RepertoireDemande() const { return m_strRepDemande; }
    // The user changed the directory list's selection.
    void SelectionChangee();

protected:
    static CString SansCrochets(const CString& strTexte);
    // A fill replaced the lists: a pending removal question goes (not while
    // the removal itself refills the pane).
    void ListesRemplacees();
    // Once a walk is cancelled, a fill lists nothing: asked to go deeper, the
    // pane says it stands where it last showed (never where the walk wanted
    // it), so the walk unwinds without acting anywhere; asked to go back up,
    // it takes the directory, listed once the walk has ended. True when the
    // fill is to be skipped.
    bool RempliSansBouger();
    // A fill that could not list (cancelled): the directory is the one shown.
    void RevenirAuRepertoireAffiche();

    CString m_strAffiche;  // the directory the last fill showed
    CDlgFileTransfert& m_dlg;
    CString& m_strRep;

private:
    const tIds m_ids;
    CString m_strRepDemande;  // named by the removal question shown, or empty
    tEtatRangee m_etatRangee = tEtatRangee::Normal;
    unsigned m_nFocusAvant = 0;  // where the focus was before the question or the entry
};
