// The file transfer dialog's recursive operations: copying a directory tree
// from the instrument or to it, and removing a tree on either side.
//
// Each level walks the panes themselves: it enters the directory in the pane
// (and checks that the pane really stands there: a pane that fell back to
// home, "/" or the remote root is never written to or deleted from), selects
// every file and runs the single-level operation, then recurses into each
// subdirectory found by that level's fill, once each, to a bounded depth.
// Whatever cannot be entered, created or removed is skipped and named in the
// failure message.

#include "ui/CDlgFileTransfert.h"

#include <algorithm>

#include "ftp/CheminDistant.h"
#include "ui/IdsControles.h"
#include "ui/PanneauLocal.h"

using namespace IdsControles;
using CheminDistant::EstSpecial;

// ---------------------------------------------------------------- the dialog's entry points

void CDlgFileTransfert::CopierRepDistantVersLocal(CString strNom)
{
    if (!m_pFtp)
        return;
    DebutOperation();
    CopierRepDistantVersLocal(strNom, 0);
    FinOperation();
}

void CDlgFileTransfert::CopierRepLocalVersDistant(CString strNom)
{
    if (!m_pFtp)
        return;
    DebutOperation();
    std::vector<CString> chaine{PanneauLocal::Canonique(m_strRepLocal)};
    CopierRepLocalVersDistant(strNom, 0, chaine);
    FinOperation();
}

void CDlgFileTransfert::SupprimerRepLocal(CString strNom)
{
    DebutOperation();
    SupprimerRep(m_voletLocal, strNom, 0);
    FinOperation();
}

void CDlgFileTransfert::SupprimerRepDistant(CString strNom)
{
    DebutOperation();
    SupprimerRep(m_voletDistant, strNom, 0);
    FinOperation();
}

// ---------------------------------------------------------------- walking the panes

bool CDlgFileTransfert::EntrerVolet(CVoletTransfert& volet, const CString& strChemin)
{
    volet.Repertoire() = strChemin;
    volet.Remplir();
    if (volet.Repertoire() == strChemin)
        return true;
    NoterEchec(strChemin);
    return false;
}

void CDlgFileTransfert::Restaurer(const CString& strRepLocal, const CString& strRepDistant)
{
    m_strRepDistant = strRepDistant;
    RemplirListeDistante();
    m_strRepLocal = strRepLocal;
    RemplirListeLocale();
}

// ---------------------------------------------------------------- copies

bool CDlgFileTransfert::CopierRepDistantVersLocal(const CString& strNom, int nProfondeur)
{
    const CString strRepLocal = m_strRepLocal;
    const CString strRepDistant = m_strRepDistant;
    if (EstSpecial(strNom))
        return true;
    const CString strCheminDistant = m_voletDistant.CheminRepertoire(strNom);
    const CString strCheminLocal = m_voletLocal.CheminRepertoire(strNom);
    if (!m_pFtp || !m_voletDistant.NomSur(strNom) || nProfondeur >= m_nProfondeurMax) {
        NoterEchec(strCheminDistant);
        return false;
    }

    // Both panes must stand where the copy expects them: a fallback (the
    // listing's root, the local home) is never written to.
    if (!EntrerVolet(m_voletDistant, strCheminDistant)) {
        Restaurer(strRepLocal, strRepDistant);
        return false;
    }
    // Made once the remote side could be entered. An existing directory of
    // that name is merged into; anything else that cannot be made a
    // directory stops this branch when the pane cannot enter it.
    if (!PanneauLocal::EstRepertoire(strCheminLocal))
        PanneauLocal::CreerRepertoire(strCheminLocal);
    if (!EntrerVolet(m_voletLocal, strCheminLocal)) {
        Restaurer(strRepLocal, strRepDistant);
        return false;
    }

    m_voletDistant.SelectionnerTout();
    CopierFichiersDistantsSelectionnes();
    RemplirListeLocale();

    // The refills of the nested calls replace the list: walk a copy of it.
    for (const CString& nom : m_voletDistant.SousRepertoires()) {
        DesactiverTout();
        m_voletDistant.SelectionnerRep(nom);
        CopierRepDistantVersLocal(nom, nProfondeur + 1);
    }
    DesactiverTout();
    Restaurer(strRepLocal, strRepDistant);
    return true;
}

bool CDlgFileTransfert::CopierRepLocalVersDistant(const CString& strNom, int nProfondeur,
                                                  std::vector<CString>& chaine)
{
    const CString strRepLocal = m_strRepLocal;
    const CString strRepDistant = m_strRepDistant;
    if (EstSpecial(strNom))
        return true;
    const CString strCheminLocal = m_voletLocal.CheminRepertoire(strNom);
    const CString strCheminDistant = m_voletDistant.CheminRepertoire(strNom);
    if (!m_pFtp || !m_voletDistant.NomSur(strNom) || nProfondeur >= m_nProfondeurMax) {
        NoterEchec(strCheminLocal);
        return false;
    }
    // A link back to a directory being copied would never end.
    const CString strCanonique = PanneauLocal::Canonique(strCheminLocal);
    if (strCanonique.IsEmpty() ||
        std::find(chaine.begin(), chaine.end(), strCanonique) != chaine.end()) {
        NoterEchec(strCheminLocal);
        return false;
    }

    // Refused when it exists already: the copy then merges into it.
    m_voletDistant.CreerRepertoire(strNom);

    if (!EntrerVolet(m_voletDistant, strCheminDistant) || !EntrerVolet(m_voletLocal, strCheminLocal)) {
        Restaurer(strRepLocal, strRepDistant);
        return false;
    }

    m_voletLocal.SelectionnerTout();
    CopierFichiersLocauxSelectionnes();

    chaine.push_back(strCanonique);
    for (const CString& nom : m_voletLocal.SousRepertoires()) {
        DesactiverTout();
        m_voletLocal.SelectionnerRep(nom);
        CopierRepLocalVersDistant(nom, nProfondeur + 1, chaine);
    }
    chaine.pop_back();
    DesactiverTout();
    Restaurer(strRepLocal, strRepDistant);
    return true;
}

// ---------------------------------------------------------------- removals

bool CDlgFileTransfert::SupprimerRep(CVoletTransfert& volet, const CString& strNom, int nProfondeur)
{
    if (!volet.Disponible() || EstSpecial(strNom))
        return true;
    const CString strChemin = volet.CheminRepertoire(strNom);
    if (!volet.NomSur(strNom) || nProfondeur >= m_nProfondeurMax) {
        NoterEchec(strChemin);
        return false;
    }
    // A link is removed as a link: the removal never reaches what it names.
    if (!volet.EstLien(strChemin) && !ViderRepertoire(volet, strChemin, nProfondeur))
        return false;
    const bool bFait = volet.SupprimerRepertoire(strNom);
    if (!bFait)
        NoterEchec(strChemin);
    volet.Remplir();
    return bFait;
}

bool CDlgFileTransfert::ViderRepertoire(CVoletTransfert& volet, const CString& strChemin, int nProfondeur)
{
    const CString strRep = volet.Repertoire();
    if (!EntrerVolet(volet, strChemin)) {
        // The pane fell back elsewhere (local: home or "/", remote: the root):
        // nothing there is ours to delete.
        volet.Repertoire() = strRep;
        volet.Remplir();
        return false;
    }

    Activer(IDC_VERS_DISTANT, false);
    Activer(IDC_VERS_LOCAL, false);
    volet.SelectionnerTout();
    SupprimerFichiersSelectionnes(volet);
    volet.Remplir();
    DesactiverTout();

    // Each subdirectory is tried once: one that survives its removal does not
    // hold the walk.
    for (const CString& nom : volet.SousRepertoires()) {
        volet.SelectionnerRep(nom);
        SupprimerRep(volet, nom, nProfondeur + 1);
        DesactiverTout();
    }
    volet.Repertoire() = strRep;
    return true;
}
