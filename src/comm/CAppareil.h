#pragma once
// The abstract instrument: what the driver knows of the instrument it talks to
// (model and version as the instrument reports them) and the two operations
// every instrument offers. The channel operations come from the channel branch
// of the concrete class, through the shared CGenericCom base.

#include <cstdint>

#include "comm/CGenericCom.h"
#include "common/CString.h"
#include "common/Export.h"

class CAppareil : public virtual CGenericCom
{
public:
    CAppareil() = default;
    ~CAppareil() override;

    const CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCAppareil;

    // Brings the instrument to a known state. Status code.
    virtual short Initialiser() = 0;
    // Reads the identification into the model and version. Status code.
    virtual short Identifier();

    void SetModele(const wchar_t* szModele) { m_strModele = szModele; }
    void SetVersion(const wchar_t* szVersion) { m_strVersion = szVersion; }
    const CString& GetModele() const { return m_strModele; }
    const CString& GetVersion() const { return m_strVersion; }

    // The status byte ("*STB?"), or -1 when the query fails.
    signed char LireOctetEtat();
    // The standard event status register ("*ESR?"), or the failing query's
    // status. A call made while another call (on any instrument) is reading
    // returns 0 without sending anything.
    short LireRegistreEvenements();

    uint32_t GetCapacites() const { return m_dwCapacites; }
    // One test per capability bit: the masked value, non-zero when set.
    uint32_t GetCapaciteBit0() const { return m_dwCapacites & 0x00000001u; }
    uint32_t GetCapaciteBit1() const { return m_dwCapacites & 0x00000002u; }
    uint32_t GetCapaciteBit3() const { return m_dwCapacites & 0x00000008u; }
    uint32_t GetCapaciteBit4() const { return m_dwCapacites & 0x00000010u; }
    uint32_t GetCapaciteBit5() const { return m_dwCapacites & 0x00000020u; }
    uint32_t GetCapaciteBit6() const { return m_dwCapacites & 0x00000040u; }
    uint32_t GetCapaciteBit7() const { return m_dwCapacites & 0x00000080u; }
    uint32_t GetCapaciteBit16() const { return m_dwCapacites & 0x00010000u; }
    uint32_t GetCapaciteBit17() const { return m_dwCapacites & 0x00020000u; }
    uint32_t GetCapaciteBit31() const { return m_dwCapacites & 0x80000000u; }
    bool GetCapaciteBit16Ou17() const { return (m_dwCapacites & 0x00030000u) != 0; }

protected:
    CString m_strModele;  // second field of the last identification
    CString m_strVersion; // what follows the third comma of the last identification
    uint32_t m_dwCapacites = 0;
};
