#include "ui/qt/CFrontalQt.h"

#include <QApplication>
#include <QThread>

#include "ui/qt/AttenteGui.h"
#include "ui/qt/CControleQt.h"
#include "ui/qt/CFenetreQt.h"

bool SurThreadGui()
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    return app && QThread::currentThread() == app->thread();
}

std::unique_ptr<IFenetreDialogue> CFrontalQt::CreerDialogue(const tModeleDialogue& modele,
                                                            IEcouteurDialogue& ecouteur)
{
    if (!SurThreadGui()) return nullptr;
    return std::make_unique<CFenetreQt>(modele, ecouteur);
}

int CFrontalQt::MessageBox(const CString& texte, tBoutonsMessage boutons)
{
    if (!SurThreadGui()) return boutons == tBoutonsMessage::OuiNon ? ID_OUI : ID_OK;
    return MessageBoxQt(nullptr, texte, boutons);
}

bool CFrontalQt::AttendreOperation(CEvenementManuel& evenement, unsigned long nDelaiMs, IControle* pLibre)
{
    auto* libre = dynamic_cast<CControleQt*>(pLibre);
    return AttendreEvenementGui(evenement, nDelaiMs, libre ? libre->Widget() : nullptr);
}
