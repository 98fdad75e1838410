#include "ui/qt/AttenteGui.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QThread>
#include <QWindow>

#include <algorithm>
#include <memory>
#include <mutex>

#include "common/CEvenementManuel.h"
#include "ui/Attente.h"
#include "ui/CDlgAttente.h"

namespace {

// Lives on the GUI thread and owns the wait window.
class CPontAttente : public QObject
{
public:
    void Afficher(bool bRetirer, const QString& texte, unsigned nIdAnimation)
    {
        // A new text replaces the window: the old one goes first, so only one
        // is ever on screen.
        m_pDlg.reset();
        if (!bRetirer) m_pDlg = std::make_unique<CDlgAttente>(CString(texte.toStdWString()), nIdAnimation);
    }

private:
    std::unique_ptr<CDlgAttente> m_pDlg;
};

// Swallows user input for the whole application while a request wait runs,
// but for the wait's live button.
class CFiltreSaisie : public QObject
{
public:
    bool eventFilter(QObject* objet, QEvent* e) override
    {
        if (s_nAttentes > 0 && EstSaisie(e)) return !PourLeBoutonLibre(objet, e);
        return QObject::eventFilter(objet, e);
    }
    // Request waits running on the GUI thread (nested ones included), and
    // the live button of the innermost one.
    static inline int s_nAttentes = 0;
    static inline QPointer<QAbstractButton> s_libre;

private:
    // True for what the live button takes as usual; Escape, and Enter on it,
    // click it here and go no further. Input reaches the application twice:
    // first addressed to the window (a QWindow), then, once Qt has found the
    // widget under the mouse or with the focus, addressed to that widget.
    static bool PourLeBoutonLibre(QObject* objet, QEvent* e)
    {
        QAbstractButton* libre = s_libre;
        if (!libre || !libre->isVisible() || !libre->isEnabled()) return false;
        if (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) {
            const auto* k = static_cast<QKeyEvent*>(e);
            const bool surLuiMeme = objet == libre || (DeSaFenetre(objet, libre) && libre->hasFocus());
            const bool entree = k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
            if (k->key() == Qt::Key_Escape || (entree && surLuiMeme)) {
                if (e->type() == QEvent::KeyPress && !k->isAutoRepeat()) libre->click();
                return false;
            }
            return surLuiMeme && k->key() == Qt::Key_Space;
        }
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            return objet == libre || SourisSurLui(objet, static_cast<QMouseEvent*>(e), libre);
        default:
            return false;
        }
    }

    // The window that holds the live button.
    static bool DeSaFenetre(QObject* objet, QWidget* libre)
    {
        return objet->isWindowType() && objet == static_cast<QObject*>(libre->window()->windowHandle());
    }

    // A mouse event addressed to the button's window goes on when it falls on
    // the button, or when the button holds the mouse since its press (the
    // release then belongs to it wherever it happens).
    static bool SourisSurLui(QObject* objet, const QMouseEvent* e, QAbstractButton* libre)
    {
        if (!DeSaFenetre(objet, libre)) return false;
        if (libre->isDown()) return true;
        const QPoint p = libre->mapFrom(libre->window(), e->position().toPoint());
        return libre->rect().contains(p);
    }

    static bool EstSaisie(QEvent* e)
    {
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
        case QEvent::ContextMenu:
        case QEvent::NativeGesture:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return true;
        case QEvent::Close:
            // The user's close box; a program's own close() is not spontaneous.
            return e->spontaneous();
        default:
            return false;
        }
    }
};

std::mutex g_mutex;             // guards g_pPont for the worker's requests
CPontAttente* g_pPont = nullptr;
CFiltreSaisie* g_pFiltre = nullptr;  // GUI thread only

void GestionnaireAttente(const wchar_t* texte, unsigned nIdAnimation)
{
    const bool bRetirer = texte == nullptr;
    const QString strTexte = bRetirer ? QString() : QString::fromWCharArray(texte);
    std::unique_lock<std::mutex> verrou(g_mutex);
    CPontAttente* pont = g_pPont;
    if (!pont) return;
    if (QThread::currentThread() == pont->thread()) {
        // The bridge is deleted on this thread only: safe to use unlocked.
        verrou.unlock();
        pont->Afficher(bRetirer, strTexte, nIdAnimation);
        return;
    }
    // Posted under the lock, so the bridge cannot be deleted meanwhile; if it is
    // deleted before the event runs, Qt drops the event with it.
    QMetaObject::invokeMethod(
        pont, [pont, bRetirer, strTexte, nIdAnimation] { pont->Afficher(bRetirer, strTexte, nIdAnimation); },
        Qt::QueuedConnection);
}

bool AttenteRequeteGui(CEvenementManuel& evenement, unsigned long nDelaiMs)
{
    return AttendreEvenementGui(evenement, nDelaiMs, nullptr);
}

} // namespace

bool AttendreEvenementGui(CEvenementManuel& evenement, unsigned long nDelaiMs, QWidget* libre)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!g_pFiltre || !app || QThread::currentThread() != app->thread())
        return evenement.Attendre(nDelaiMs);

    // Nested waits: the innermost one's button is the live one.
    struct CCompte {
        explicit CCompte(QWidget* libre) : m_ancien(CFiltreSaisie::s_libre)
        {
            ++CFiltreSaisie::s_nAttentes;
            CFiltreSaisie::s_libre = qobject_cast<QAbstractButton*>(libre);
        }
        ~CCompte()
        {
            --CFiltreSaisie::s_nAttentes;
            CFiltreSaisie::s_libre = m_ancien;
        }
        QPointer<QAbstractButton> m_ancien;
    } compte(libre);

    const bool bInfini = nDelaiMs == CEvenementManuel::INFINI;
    QElapsedTimer chrono;
    chrono.start();
    for (;;) {
        // Paint, animate, run timers and the worker's posted requests; the
        // filter drops the user's input.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        unsigned long nTranche = 10;
        if (!bInfini) {
            const auto nEcoule = static_cast<unsigned long>(chrono.elapsed());
            if (nEcoule >= nDelaiMs) return evenement.EstSignale();
            nTranche = std::min(nTranche, nDelaiMs - nEcoule);
        }
        if (evenement.Attendre(nTranche)) {
            // Let the worker's last requests (removing the wait window) land
            // before the caller goes on.
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            return true;
        }
    }
}

void InstallerAttenteGui()
{
    if (!g_pFiltre) {
        g_pFiltre = new CFiltreSaisie;
        qApp->installEventFilter(g_pFiltre);
    }
    {
        std::lock_guard<std::mutex> verrou(g_mutex);
        if (!g_pPont) g_pPont = new CPontAttente;
    }
    DefinirAfficherAttente(&GestionnaireAttente);
    DefinirAttenteRequete(&AttenteRequeteGui);
}

void DesinstallerAttenteGui()
{
    DefinirAfficherAttente({});
    DefinirAttenteRequete({});
    CPontAttente* pont = nullptr;
    {
        std::lock_guard<std::mutex> verrou(g_mutex);
        std::swap(pont, g_pPont);
    }
    delete pont;
    delete g_pFiltre;  // removes itself from the application's filters
    g_pFiltre = nullptr;
}

bool AttenteGuiEnCours()
{
    return CFiltreSaisie::s_nAttentes > 0;
}
