#pragma once
// Minimal run-time class information for the instrument classes: enough for a
// caller to ask an object which class it answers to and whether that class
// derives from another, without compiler RTTI names.

#include "common/Export.h"

class CArchive;
class CDumpContext;

struct CRuntimeClass
{
    const char* m_lpszClassName;
    const CRuntimeClass* m_pBaseClass;

    // True when this class is `pBase` or derives from it.
    bool IsDerivedFrom(const CRuntimeClass* pBase) const;
};

class CObject
{
public:
    virtual const CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject();
    // Kept for the slot layout of the class family; nothing is serialised or dumped.
    virtual void Serialize(CArchive& ar);
    virtual void AssertValid() const;
    virtual void Dump(CDumpContext& dc) const;

    bool IsKindOf(const CRuntimeClass* pClass) const;

    static const CRuntimeClass classCObject;

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};
