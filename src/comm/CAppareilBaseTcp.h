#pragma once
// An instrument speaking the IEEE 488.2 common commands: "*CLS" to initialise,
// "*IDN?" to identify.

#include "comm/CAppareil.h"
#include "common/Export.h"

class CAppareilBaseTcp : public CAppareil
{
public:
    CAppareilBaseTcp() = default;
    ~CAppareilBaseTcp() override;

    // Discards pending input, then "*CLS" with the status check.
    short Initialiser() override;
    // Initialiser, then "*IDN?": the second field becomes the model, what
    // follows the third comma the version. A reply without a comma stores
    // nothing and succeeds; a failure stores nothing.
    short Identifier() override;
    // The first line of the last "*IDN?" reply, as received: what to quote
    // when it held no model.
    const CString& GetReponseIdentification() const { return m_strReponseIdn; }

private:
    CString m_strReponseIdn;
};
