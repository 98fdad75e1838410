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
    // Initialiser, then "*IDN?" (asked again when a stray line makes its
    // reply doubtful). A reply that names a maker and a model stores the
    // model and the version (what follows the third comma, or the third
    // field); any other reply stores nothing and succeeds; a failure stores
    // nothing.
    short Identifier() override;

    // The fields of an "*IDN?" reply (maker,model,serial,version), kept exactly
    // as sent, the reply cut at its first CR or LF. Without a comma nChamps
    // is 0 and nothing is set; with two fields they are the maker and the
    // model; with three, the third is the version; what follows the third
    // comma is the version, commas included.
    struct tIdentification
    {
        int nChamps = 0;   // 0, 2, 3 or 4
        CString strFabricant, strModele, strNumeroSerie, strVersion;
        // The one rule for "identified", wherever a reply is judged: a maker
        // and a model, neither empty nor blank.
        bool EstIdentification() const;
    };
    static tIdentification DecouperIdentification(CString strReponse);
    // The first line of the last "*IDN?" reply, as received: what to quote
    // when it held no model.
    const CString& GetReponseIdentification() const { return m_strReponseIdn; }

private:
    CString m_strReponseIdn;
};
