// A small host for the tests driven by real input under an X server: it opens
// the file transfer dialog logged in to an FTP server and tells on standard
// output where the buttons the user needs are (screen coordinates) and what
// the dialog is doing, one line each:
//   DIALOG x y     the dialog is on screen; (x, y) is "<" (copy here)
//   QUESTION x y   the overwrite question; (x, y) is its "overwrite all"
//   COPYING x y    a copy is under way; (x, y) is its Cancel
//   DONE text      the copy ended with this status line; the host then quits
// It clicks nothing itself: the test's X events do.
//
//   hote_xinput --port N --local DIR

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "common/Conversions.h"
#include "ftp/CFTPDirect.h"
#include "profile/CProfilMemoire.h"
#include "profile/ClesProfil.h"
#include "profile/Profil.h"
#include "ui/CDlgFileTransfert.h"
#include "ui/IdsControles.h"
#include "ui/qt/AttenteGui.h"
#include "ui/qt/FrontalQt.h"

using namespace IdsControles;

namespace {

QWidget* Fenetre(const char* nom)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(nom) && w->isVisible()) return w;
    return nullptr;
}

template <class W> W* Enfant(QWidget* d, unsigned id) { return d ? d->findChild<W*>(QString::number(id)) : nullptr; }

void Dire(const char* quoi, QWidget* w)
{
    const QPoint p = w->mapToGlobal(w->rect().center());
    std::printf("%s %d %d\n", quoi, p.x(), p.y());
    std::fflush(stdout);
}

// Watches the dialog and says each step once.
class CObservateur
{
public:
    void Regarder()
    {
        QWidget* d = Fenetre("dlg2055");
        if (!d) return;
        if (!m_bDialogue && !AttenteGuiEnCours() && d->isActiveWindow()) {
            auto* distants = Enfant<QTreeWidget>(d, IDC_FICHIERS_DISTANTS);
            if (distants->topLevelItemCount() == 0) return;
            distants->setFocus();
            distants->selectAll();
            m_bDialogue = true;
            Dire("DIALOG", Enfant<QWidget>(d, IDC_VERS_LOCAL));
            return;
        }
        if (QWidget* q = Fenetre("dlg2090"); q && !m_bQuestion && q->isActiveWindow()) {
            m_bQuestion = true;
            Dire("QUESTION", Enfant<QWidget>(q, IDC_ECRASER_TOUT));
            return;
        }
        auto* annuler = Enfant<QAbstractButton>(d, IDC_ANNULER_OPERATION);
        const QString etat = Enfant<QLabel>(d, IDC_ETAT_OPERATION)->text();
        if (!m_bCopie && AttenteGuiEnCours() && annuler->isVisible() && etat.startsWith(QLatin1String("Copying"))) {
            m_bCopie = true;
            Dire("COPYING", annuler);
            return;
        }
        if (m_bCopie && !AttenteGuiEnCours() && !annuler->isVisible()) {
            std::printf("DONE %s\n", etat.toUtf8().constData());
            std::fflush(stdout);
            qobject_cast<QDialog*>(d)->reject();
        }
    }

private:
    bool m_bDialogue = false, m_bQuestion = false, m_bCopie = false;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int iPort = args.indexOf(QStringLiteral("--port")), iLocal = args.indexOf(QStringLiteral("--local"));
    if (iPort < 0 || iLocal < 0 || iPort + 1 >= args.size() || iLocal + 1 >= args.size()) {
        std::fprintf(stderr, "usage: hote_xinput --port N --local DIR\n");
        return 2;
    }
    InstallerFrontalQt();
    auto profil = std::make_shared<CProfilMemoire>();
    const CString strLocal = CString(args[iLocal + 1].toStdWString()) + L"/";
    profil->WriteProfileString(ClesProfil::SECTION_FTPDIRECT, ClesProfil::REP_LOCAL, strLocal);
    DefinirProfil(profil);

    CFTPDirect ftp(L"127.0.0.1", args[iPort + 1].toInt());
    CDlgFileTransfert dlg;
    if (dlg.ConnexionFtp(L"test", L"secret", &ftp) != 1) {
        std::fprintf(stderr, "login refused\n");
        return 1;
    }
    CObservateur observateur;
    QTimer minuterie;
    QObject::connect(&minuterie, &QTimer::timeout, [&] { observateur.Regarder(); });
    minuterie.start(30);
    // Never left running: the test bounds its own waits, this bounds the host.
    QTimer::singleShot(90000, [] {
        std::fprintf(stderr, "hote_xinput: still open after 90 s\n");
        std::_Exit(3);
    });
    dlg.DoModal();
    return 0;
}
