#pragma once
// The wait window: a modeless caption-only window playing a clip in a loop while
// the driver connects or disconnects. It has no buttons and ignores Enter and
// Escape: it goes away only when its owner deletes it.

#include "common/CString.h"
#include "common/Export.h"
#include "ui/CDialogue.h"

class OTDR_EXPORT CDlgAttente : public CDialogue
{
public:
    // Created and shown by the time the constructor returns (when the front end
    // could make the window). nIdAnimation 0: no clip.
    CDlgAttente(const CString& texte, unsigned nIdAnimation);
    ~CDlgAttente() override;

    const CString& GetTexte() const { return m_strTexte; }
    unsigned GetIdAnimation() const { return m_nIdAnimation; }

protected:
    int OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    CString m_strTexte;
    unsigned m_nIdAnimation;
};
