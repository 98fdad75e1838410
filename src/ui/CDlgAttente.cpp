#include "ui/CDlgAttente.h"

#include "ui/IdsControles.h"
#include "ui/Ressources.h"

CDlgAttente::CDlgAttente(const CString& texte, unsigned nIdAnimation)
    : CDialogue(Ressources::IDD_ATTENTE), m_nIdAnimation(nIdAnimation)
{
    if (!Create()) return;
    GetFenetre()->SetWindowText(texte);
    GetFenetre()->Afficher(true);
}

CDlgAttente::~CDlgAttente()
{
    if (IFenetreDialogue* f = GetFenetre()) {
        if (m_nIdAnimation != 0) {
            if (IControle* anim = GetDlgItem(IdsControles::IDC_ANIMATION)) {
                anim->ArreterAnimation();
                anim->FermerAnimation();
            }
        }
        f->Afficher(false);
    }
    DestroyWindow();
}

int CDlgAttente::OnInitDialog()
{
    CDialogue::OnInitDialog();
    if (m_nIdAnimation != 0) {
        if (IControle* anim = GetDlgItem(IdsControles::IDC_ANIMATION)) {
            if (anim->OuvrirAnimation(m_nIdAnimation)) anim->JouerAnimation();
        }
    }
    return 1;
}
