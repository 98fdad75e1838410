// The file transfer dialog's recursive operations: copying a directory tree
// from the instrument or to it, and removing a tree on either side.
//
// Trees on the instrument, and local trees copied up, go through
// CParcoursDistant, the walker the command-line tool uses too: it lists each
// directory as it goes, walks no directory twice (links), stops at the depth
// limit, skips what it cannot enter, list or create, deletes through no link
// and stops when the session is gone. The dialog runs it off its thread with
// the hooks of CDlgFileTransfertTravail.cpp (progress in bytes, the overwrite
// question, the user's cancel), names in its one message what the walk
// skipped or could not do, and refills the panes.
//
// A local tree is removed by walking the local pane itself: it enters the
// directory (and checks that the pane really stands there: a pane that fell
// back to home or "/" is never deleted from), deletes every file, removes each
// subdirectory once, a link as a link, to a bounded depth.

#include "ui/CDlgFileTransfert.h"

#include "ftp/CheminDistant.h"
#include "ui/IdsControles.h"

using namespace IdsControles;
using CheminDistant::EstSpecial;

// ---------------------------------------------------------------- the dialog's entry points

void CDlgFileTransfert::CopierRepDistantVersLocal(CString strNom)
{
    if (!m_pFtp || EstSpecial(strNom))
        return;
    DebutOperation();
    const CString strDistant = m_voletDistant.CheminRepertoire(strNom);
    if (!m_voletDistant.NomSur(strNom)) {
        NoterEchec(strDistant);
    } else {
        const CString strLocal = m_voletLocal.CheminRepertoire(strNom);
        Parcourir(tSensParcours::VersLocal, [&](CParcoursDistant& p) { return p.Telecharger(strDistant, strLocal); });
    }
    RemplirListeLocale();
    FinOperation();
}

void CDlgFileTransfert::CopierRepLocalVersDistant(CString strNom)
{
    if (!m_pFtp || EstSpecial(strNom))
        return;
    DebutOperation();
    const CString strLocal = m_voletLocal.CheminRepertoire(strNom);
    // A local name that is not one remote component ("a\b") is not sent.
    if (!m_voletDistant.NomSur(strNom)) {
        NoterEchec(strLocal);
    } else {
        const CString strDistant = m_voletDistant.CheminRepertoire(strNom);
        Parcourir(tSensParcours::VersDistant, [&](CParcoursDistant& p) { return p.Envoyer(strLocal, strDistant); });
    }
    m_voletDistant.Actualiser();
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

// ---------------------------------------------------------------- the shared walker

bool CDlgFileTransfert::Parcourir(tSensParcours sens,
                                  const std::function<CParcoursDistant::tBilan(CParcoursDistant&)>& marche)
{
    if (m_genre == tGenre::Aucun)
        m_genre = sens == tSensParcours::Suppression ? tGenre::Suppression : tGenre::Copie;
    CParcoursDistant parcours(*m_pFtp, RappelsParcours(sens));
    parcours.SetProfondeurMax(m_nProfondeurMax);
    // An upload over an existing file asks first: the walk must know it is there.
    parcours.SetListerCibles(sens == tSensParcours::VersDistant);
    CParcoursDistant::tBilan bilan;
    m_progression.SetTotalProvisoire(true);
    ExecuterHorsFil([&] { bilan = marche(parcours); });
    m_progression.SetTotalProvisoire(false);

    for (const CParcoursDistant::tProbleme& p : bilan.echecs)
        NoterEchec(p.strChemin, p.strRaison);
    for (const CParcoursDistant::tProbleme& p : bilan.ignores)
        NoterEchec(p.strChemin, p.strRaison + L", not walked again");
    // After the user's cancel the summary says what was not done.
    if (bilan.bSessionPerdue)
        for (const CString& strChemin : bilan.nonFaits)
            NoterEchec(strChemin, L"not done: the connection to the instrument was lost");
    else if (!bilan.bArrete)
        for (const CString& strChemin : bilan.nonFaits)
            NoterEchec(strChemin, L"not done");
    return bilan.Complet();
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
    if (&volet == &m_voletDistant)
        return Parcourir(tSensParcours::Suppression, [&](CParcoursDistant& p) { return p.Supprimer(strChemin); });

    // A link is removed as a link: the removal never reaches what it names.
    if (!volet.EstLien(strChemin) && !ViderRepertoire(volet, strChemin, nProfondeur))
        return false;
    const bool bFait = volet.SupprimerRepertoire(strNom);
    if (!bFait)
        NoterEchec(strChemin);
    volet.Remplir();
    return bFait;
}

bool CDlgFileTransfert::EntrerVolet(CVoletTransfert& volet, const CString& strChemin)
{
    volet.Repertoire() = strChemin;
    volet.Remplir();
    if (volet.Repertoire() == strChemin)
        return true;
    NoterEchec(strChemin);
    return false;
}

bool CDlgFileTransfert::ViderRepertoire(CVoletTransfert& volet, const CString& strChemin, int nProfondeur)
{
    const CString strRep = volet.Repertoire();
    if (!EntrerVolet(volet, strChemin)) {
        // The pane fell back elsewhere (home or "/"): nothing there is ours to delete.
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
