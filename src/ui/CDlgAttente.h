#pragma once
// The wait window: a modeless caption-only window playing a clip in a loop while
// the driver connects or disconnects. It has no buttons and ignores Enter and
// Escape: it goes away only when its owner deletes it.

#include "common/CString.h"
#include "common/Export.h"
#include "ui/CDialogue.h"

// Exported whole: the Qt front end makes and deletes it on its GUI thread, and
// a sanitized build checks its dynamic type there.
class OTDR_EXPORT CDlgAttente : public CDialogue
{
public:
    // Created and shown by the time the constructor returns (when the front end
    // could make the window). nIdAnimation 0: no clip.
    CDlgAttente(const CString& texte, unsigned nIdAnimation);
    ~CDlgAttente() override;

protected:
    int OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    unsigned m_nIdAnimation;
};
