#pragma once
// The concrete instrument: a CAppareilBaseTcp whose channel is the TCP/IP
// channel. One shared CGenericCom: the instrument side's channel calls run
// CTcpIpCom. Deleting it through a CGenericCom pointer destroys the whole
// object (and hands control back with "*LOC" when it is still open).
//
// Use: SetAdresse, SetPort, Ouvrir, Initialiser, Identifier, ..., Fermer.

#include "comm/CAppareilBaseTcp.h"
#include "comm/CTcpIpCom.h"
#include "common/Export.h"

class CAppareilBaseTcpIp : public CAppareilBaseTcp, public CTcpIpCom
{
public:
    static constexpr uint32_t CAPACITES_TCPIP = 0x80000010u;

    CAppareilBaseTcpIp();
    ~CAppareilBaseTcpIp() override;
};
