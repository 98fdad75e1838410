#include "ui/qt/FrontalQt.h"

#include <QApplication>
#include <QThread>

#include "ui/Controles.h"
#include "ui/qt/AttenteGui.h"
#include "ui/qt/CFrontalQt.h"

namespace {
bool g_bInstalle = false;

void RetirerALaFin()
{
    // The QApplication is going: no widget may outlive it.
    DesinstallerFrontalQt();
}
} // namespace

bool InstallerFrontalQt()
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread()) return false;
    if (g_bInstalle) return true;
    DefinirFrontal(std::make_shared<CFrontalQt>());
    // After the front end: the GUI-side handler replaces the one DefinirFrontal
    // installs, which would build the wait window on the worker's thread.
    InstallerAttenteGui();
    qAddPostRoutine(&RetirerALaFin);
    g_bInstalle = true;
    return true;
}

void DesinstallerFrontalQt()
{
    if (!g_bInstalle) return;
    g_bInstalle = false;
    qRemovePostRoutine(&RetirerALaFin);
    DesinstallerAttenteGui();
    DefinirFrontal(nullptr);
}
