#pragma once
// One entry of a remote directory listing, and the array that carries a listing.

#include <cstdint>
#include <utility>

#include "common/CString.h"
#include "common/Export.h"
#include "ftp/CVectorFast.h"

struct OTDR_EXPORT tInfosFichierFtp
{
    tInfosFichierFtp() = default;
    tInfosFichierFtp(CString strNom, CString strDate, CString strAttributs, uint64_t nTaille, int64_t nDateUtc = 0)
        : m_strNom(std::move(strNom)), m_strDate(std::move(strDate)), m_strAttributs(std::move(strAttributs)),
          m_nTaille(nTaille), m_nDateUtc(nDateUtc)
    {
    }

    CString m_strNom;        ///< name as listed (decoded from UTF-8), never a path
    CString m_strDate;       ///< "MM/DD/YYYY HH:MM:SS", or "Invalid DateTime"
    CString m_strAttributs;  ///< letters among a c d h n r s, in that order
    uint64_t m_nTaille = 0;  ///< size in bytes
    /// The same time as m_strDate in seconds since 1970 UTC, 0 when unknown,
    /// for comparing dates. Exact from MLSD; from LIST it is the server's clock
    /// read as UTC, to the minute (or the day, for older files).
    int64_t m_nDateUtc = 0;
};

using CListeFichiersFtp = CVectorFast<tInfosFichierFtp, 16>;
