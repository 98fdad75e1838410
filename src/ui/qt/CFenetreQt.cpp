#include "ui/qt/CFenetreQt.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMessageBox>
#include <QRadioButton>
#include <QResizeEvent>
#include <QWindow>

#include <algorithm>
#include <cmath>

#include "ui/qt/CControleQt.h"

QString VersQString(const CString& s)
{
    return QString::fromWCharArray(s.c_str(), static_cast<qsizetype>(s.size()));
}

CString DepuisQString(const QString& s)
{
    return CString(s.toStdWString());
}

// --- CDialogQt

CDialogQt::CDialogQt(CFenetreQt& fenetre, Qt::WindowFlags flags)
    : QDialog(nullptr, flags), m_fenetre(fenetre)
{
}

void CDialogQt::reject()
{
    m_fenetre.Annulation();
}

void CDialogQt::keyPressEvent(QKeyEvent* e)
{
    // Keys the focused control did not use. Enter and Escape go to the logic
    // (which decides whether the dialog ends); no button is pressed for them.
    if (e->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) {
        QDialog::keyPressEvent(e);
        return;
    }
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        e->accept();
        m_fenetre.Entree();
        return;
    case Qt::Key_Escape:
        e->accept();
        m_fenetre.Annulation();
        return;
    default:
        QDialog::keyPressEvent(e);
    }
}

void CDialogQt::closeEvent(QCloseEvent* e)
{
    // The close box asks; the logic ends the dialog or not.
    e->ignore();
    if (e->spontaneous()) m_fenetre.Annulation();
}

void CDialogQt::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    if (!isMinimized()) m_fenetre.Taille(e->size().width(), e->size().height());
}

void CDialogQt::changeEvent(QEvent* e)
{
    QDialog::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange && isMinimized()) m_fenetre.Taille(0, 0);
}

// --- CFenetreQt

namespace {

Qt::WindowFlags DrapeauxFenetre(unsigned styles)
{
    Qt::WindowFlags f = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (styles & DLG_MENU_SYSTEME) f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (styles & DLG_REDIMENSIONNABLE) f |= Qt::WindowMinMaxButtonsHint;
    if (styles & DLG_SYSTEME_MODAL) f |= Qt::WindowStaysOnTopHint;
    return f;
}

void AuPremierPlan(QWidget* w)
{
    // The offscreen platform (tests) stacks nothing and says so on every call.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) w->raise();
}

} // namespace

CFenetreQt::CFenetreQt(const tModeleDialogue& modele, IEcouteurDialogue& ecouteur)
    : m_modele(modele), m_ecouteur(ecouteur)
{
    m_pDialog = new CDialogQt(*this, DrapeauxFenetre(modele.nStyles));
    m_pDialog->setObjectName(QStringLiteral("dlg%1").arg(modele.nId));
    m_pDialog->setWindowTitle(QString::fromWCharArray(modele.szTitre));
    m_pDialog->setModal(false);
    const QFont police = PoliceDialogue(modele.szPolice, modele.nTaillePolice);
    m_pDialog->setFont(police);
    m_base = UnitesBase(police);
    // The reference font's characters and digits are 6 pixels wide.
    const double chiffre = QFontMetricsF(police).horizontalAdvance(QLatin1Char('0'));
    m_dEchelleColonnes = std::max(1.0, std::max<double>(m_base.x, chiffre) / 6.0);

    const QRect client = RectPixels(m_base, 0, 0, modele.cx, modele.cy);
    if (modele.nStyles & DLG_REDIMENSIONNABLE) m_pDialog->resize(client.size());
    else m_pDialog->setFixedSize(client.size());

    QButtonGroup* groupe = nullptr;
    for (const tModeleControle& c : modele.controles) {
        m_controles.push_back(std::make_unique<CControleQt>(*this, c));
        // Radio buttons are exclusive within a template group (a control that
        // starts a group, or any other kind of control, ends the previous one).
        if (c.nType != tTypeControle::BoutonRadio || (c.nStyles & STYLE_DEBUT_GROUPE)) groupe = nullptr;
        if (c.nType == tTypeControle::BoutonRadio) {
            if (!groupe) {
                groupe = new QButtonGroup(m_pDialog);
                groupe->setExclusive(true);
            }
            groupe->addButton(static_cast<QRadioButton*>(m_controles.back()->Widget()));
        }
    }
}

CFenetreQt::~CFenetreQt()
{
    // Hiding and deleting move the focus: none of that may reach the logic.
    m_bMuet = true;
    for (auto& c : m_controles) c->Couper();
    if (m_pBoucle) m_pBoucle->quit();
    m_pDialog->hide();
    m_controles.clear();
    delete m_pDialog;
}

void CFenetreQt::Notifier(unsigned id, tNotification n, int parametre)
{
    if (m_bMuet || m_bTerminee) return;
    m_ecouteur.OnNotification(id, n, parametre);
}

void CFenetreQt::Entree()
{
    if (!m_bMuet && !m_bTerminee) m_ecouteur.OnEntree();
}

void CFenetreQt::Annulation()
{
    if (!m_bMuet && !m_bTerminee) m_ecouteur.OnAnnulation();
}

void CFenetreQt::Taille(int largeur, int hauteur)
{
    if (!m_bMuet && !m_bTerminee) m_ecouteur.OnTaille(largeur, hauteur);
}

int CFenetreQt::LargeurColonne(int pixelsReference) const
{
    return static_cast<int>(std::lround(pixelsReference * m_dEchelleColonnes));
}

IControle* CFenetreQt::GetDlgItem(unsigned id)
{
    for (auto& c : m_controles)
        if (c->GetId() == id && id != ID_STATIQUE) return c.get();
    return nullptr;
}

CControleQt* CFenetreQt::ControleDeWidget(const QWidget* w) const
{
    // The focus may sit on a child of the control (a view's viewport).
    for (; w && w != m_pDialog; w = w->parentWidget())
        for (auto& c : m_controles)
            if (c->Widget() == w) return c.get();
    return nullptr;
}

IControle* CFenetreQt::GetFocus()
{
    QWidget* w = QApplication::focusWidget();
    if (!w || w->window() != m_pDialog) w = m_pDialog->focusWidget();
    return ControleDeWidget(w);
}

void CFenetreQt::SetWindowText(const CString& titre)
{
    m_pDialog->setWindowTitle(VersQString(titre));
}

CString CFenetreQt::GetWindowText() const
{
    return DepuisQString(m_pDialog->windowTitle());
}

tRect CFenetreQt::GetClientRect() const
{
    return tRect{0, 0, m_pDialog->width(), m_pDialog->height()};
}

void CFenetreQt::SetTailleMinimale(int largeur, int hauteur)
{
    m_pDialog->setMinimumSize(largeur, hauteur);
}

void CFenetreQt::Afficher(bool bVisible)
{
    m_pDialog->setVisible(bVisible);
    if (bVisible && (m_modele.nStyles & DLG_PREMIER_PLAN)) AuPremierPlan(m_pDialog);
}

bool CFenetreQt::EstVisible() const
{
    return m_pDialog->isVisible();
}

int CFenetreQt::RunModal()
{
    if (m_bTerminee) return m_nResultat;
    m_pDialog->setWindowModality(Qt::ApplicationModal);
    m_pDialog->show();
    AuPremierPlan(m_pDialog);
    m_pDialog->activateWindow();
    QEventLoop boucle;
    m_pBoucle = &boucle;
    if (!m_bTerminee) boucle.exec(QEventLoop::DialogExec);
    m_pBoucle = nullptr;
    m_pDialog->hide();
    m_pDialog->setWindowModality(Qt::NonModal);
    return m_nResultat;
}

void CFenetreQt::EndDialog(int resultat)
{
    if (m_bTerminee) return;
    m_bTerminee = true;
    m_nResultat = resultat;
    if (m_pBoucle) m_pBoucle->quit();
}

void CFenetreQt::PosterClic(unsigned id)
{
    // Delivered by the event loop once the current handler has returned; dropped
    // with the window if it goes first.
    QMetaObject::invokeMethod(
        m_pDialog, [this, id] { Notifier(id, tNotification::Clic, 0); }, Qt::QueuedConnection);
}

int CFenetreQt::MessageBox(const CString& texte, tBoutonsMessage boutons)
{
    return MessageBoxQt(m_pDialog, texte, boutons);
}

int MessageBoxQt(QWidget* parent, const CString& texte, tBoutonsMessage boutons)
{
    QMessageBox boite(parent);
    boite.setWindowTitle(QApplication::applicationDisplayName());
    boite.setText(VersQString(texte));
    // The button Enter presses and the one Escape presses: the same lone OK
    // for a notice, two buttons for a question.
    QMessageBox::StandardButton accepter = QMessageBox::Ok, refuser = QMessageBox::Ok;
    switch (boutons) {
    case tBoutonsMessage::Ok: break;
    case tBoutonsMessage::OkAnnuler: refuser = QMessageBox::Cancel; break;
    case tBoutonsMessage::OuiNon: accepter = QMessageBox::Yes; refuser = QMessageBox::No; break;
    }
    boite.setIcon(accepter == refuser ? QMessageBox::Information : QMessageBox::Question);
    boite.setStandardButtons(QMessageBox::StandardButtons(accepter) | refuser);
    boite.setDefaultButton(accepter);
    boite.setEscapeButton(refuser);
    switch (boite.exec()) {
    case QMessageBox::Cancel: return ID_ANNULER;
    case QMessageBox::Yes: return ID_OUI;
    case QMessageBox::No: return ID_NON;
    default: return ID_OK;
    }
}
