#include "ui/qt/CFenetreQt.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFontMetricsF>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QRadioButton>
#include <QResizeEvent>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#ifdef OTDR_AVEC_XCB
#include <QGuiApplication>
#include <xcb/xcb.h>
#endif

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
    if (e->type() != QEvent::WindowStateChange || !isMinimized()) return;
    if (!m_fenetre.Reductible()) {
        // A window manager that offers to minimise it anyway (openbox keeps
        // its buttons whatever a window asks) gets it back at once: a wait
        // window or a question hidden from its user would block the host.
        QMetaObject::invokeMethod(this, [this] { setWindowState(windowState() & ~Qt::WindowMinimized); },
                                  Qt::QueuedConnection);
        return;
    }
    m_fenetre.Taille(0, 0);
}

// --- CFenetreQt

namespace {

// Motif hints, which most window managers read for the buttons and actions
// they offer: Qt, asked for no minimise, maximise or close button, leaves
// them all allowed.
constexpr uint32_t MWM_HINTS_FUNCTIONS = 1, MWM_HINTS_DECORATIONS = 2;
constexpr uint32_t MWM_FUNC_RESIZE = 2, MWM_FUNC_MOVE = 4, MWM_FUNC_MINIMIZE = 8, MWM_FUNC_MAXIMIZE = 16,
                   MWM_FUNC_CLOSE = 32;
constexpr uint32_t MWM_DECOR_BORDER = 2, MWM_DECOR_RESIZEH = 4, MWM_DECOR_TITLE = 8, MWM_DECOR_MENU = 16,
                   MWM_DECOR_MINIMIZE = 32, MWM_DECOR_MAXIMIZE = 64;

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
    IndiquerFonctions();

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
    if (!m_bMuet && !m_bTerminee) ToucheEntree(*this, m_ecouteur);
}

bool CFenetreQt::Reductible() const
{
    return (m_modele.nStyles & DLG_REDIMENSIONNABLE) != 0;
}

void CFenetreQt::AvantRetrait(CControleQt& c)
{
    QWidget* w = c.Widget();
    QWidget* focus = m_pDialog->focusWidget();
    if (!w || !focus || (focus != w && !w->isAncestorOf(focus))) return;
    const bool bActive = m_pDialog->isActiveWindow();
    m_pDialog->setFocus(Qt::OtherFocusReason);
    // An inactive window gets no focus events: the loss is reported here.
    if (!bActive) Notifier(c.GetId(), tNotification::PerteFocus, 0);
    m_pFocusSuspendu = &c;
}

void CFenetreQt::ApresRetour(CControleQt& c)
{
    if (m_pFocusSuspendu != &c || !c.IsWindowEnabled() || !c.IsWindowVisible()) return;
    m_pFocusSuspendu = nullptr;
    QWidget* focus = m_pDialog->focusWidget();
    if (!focus || focus == m_pDialog) c.SetFocus();
}

void CFenetreQt::IndiquerFonctions()
{
#ifdef OTDR_AVEC_XCB
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connexion = x11 ? x11->connection() : nullptr;
    if (!connexion) return;
    const unsigned styles = m_modele.nStyles;
    uint32_t fonctions = MWM_FUNC_MOVE;
    uint32_t decor = MWM_DECOR_BORDER | MWM_DECOR_TITLE;
    if (styles & DLG_REDIMENSIONNABLE) {
        fonctions |= MWM_FUNC_RESIZE | MWM_FUNC_MINIMIZE | MWM_FUNC_MAXIMIZE;
        decor |= MWM_DECOR_RESIZEH | MWM_DECOR_MINIMIZE | MWM_DECOR_MAXIMIZE;
    }
    if (styles & DLG_MENU_SYSTEME) {
        fonctions |= MWM_FUNC_CLOSE;
        decor |= MWM_DECOR_MENU;
    }
    static const char kNom[] = "_MOTIF_WM_HINTS";
    xcb_intern_atom_reply_t* atome =
        xcb_intern_atom_reply(connexion, xcb_intern_atom(connexion, 0, sizeof kNom - 1, kNom), nullptr);
    if (!atome) return;
    const uint32_t indications[5] = {MWM_HINTS_FUNCTIONS | MWM_HINTS_DECORATIONS, fonctions, decor, 0, 0};
    // Written once the native window exists and again once it is shown: Qt
    // writes its own on the way to the screen.
    xcb_change_property(connexion, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(m_pDialog->winId()),
                        atome->atom, atome->atom, 32, 5, indications);
    std::free(atome);
#endif
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
    if (bVisible) IndiquerFonctions();
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
    IndiquerFonctions();
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
    QMessageBox::StandardButtons autres = QMessageBox::NoButton;
    switch (boutons) {
    case tBoutonsMessage::Ok: break;
    case tBoutonsMessage::OkReessayer: autres = QMessageBox::Retry; break;
    case tBoutonsMessage::OkAnnuler: refuser = QMessageBox::Cancel; break;
    case tBoutonsMessage::OuiNon: accepter = QMessageBox::Yes; refuser = QMessageBox::No; break;
    }
    boite.setIcon(autres != QMessageBox::NoButton ? QMessageBox::Warning
                  : accepter == refuser          ? QMessageBox::Information
                                                 : QMessageBox::Question);
    boite.setStandardButtons(QMessageBox::StandardButtons(accepter) | refuser | autres);
    boite.setDefaultButton(accepter);
    boite.setEscapeButton(refuser);
    switch (boite.exec()) {
    case QMessageBox::Cancel: return ID_ANNULER;
    case QMessageBox::Yes: return ID_OUI;
    case QMessageBox::No: return ID_NON;
    case QMessageBox::Retry: return ID_REESSAYER;
    default: return ID_OK;
    }
}

void CFenetreQt::CopierTexte(const CString& texte)
{
    QGuiApplication::clipboard()->setText(VersQString(texte));
}

unsigned CFenetreQt::MenuContextuel(const std::vector<tEntreeMenu>& entrees)
{
    QMenu menu(m_pDialog);
    menu.setObjectName(QStringLiteral("menuContextuel"));
    for (const tEntreeMenu& e : entrees) {
        if (e.nCommande == 0) {
            menu.addSeparator();
            continue;
        }
        QAction* a = menu.addAction(QString::fromStdWString(e.strTexte));
        a->setData(e.nCommande);
        a->setEnabled(e.bActif);
    }
    // At the mouse when it is over the focused list (a right click), else
    // under the list's current row (the menu key).
    QWidget* focus = QApplication::focusWidget();
    QPoint p = QCursor::pos();
    if (focus && !focus->rect().contains(focus->mapFromGlobal(p)))
        p = focus->mapToGlobal(focus->rect().center());
    QAction* choix = menu.exec(p);
    return choix ? choix->data().toUInt() : 0u;
}
