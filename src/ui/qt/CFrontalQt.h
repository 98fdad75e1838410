#pragma once
// The Qt Widgets front end (IFrontal): dialog windows made from the templates,
// message boxes. GUI thread only: asked from another thread it makes no window
// (the dialog then fails to open) and a message box answers its first button.

#include "ui/Controles.h"

class CFrontalQt : public IFrontal
{
public:
    std::unique_ptr<IFenetreDialogue> CreerDialogue(const tModeleDialogue& modele,
                                                    IEcouteurDialogue& ecouteur) override;
    int MessageBox(const CString& texte, tBoutonsMessage boutons) override;
    // The event loop runs (windows paint, timers fire), the user's input is
    // dropped but for pLibre's (see AttendreEvenementGui).
    bool AttendreOperation(CEvenementManuel& evenement, unsigned long nDelaiMs, IControle* pLibre) override;
};

// True on the thread of an existing QApplication.
bool SurThreadGui();
