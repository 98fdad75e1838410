#include "comm/CAppareilBaseTcpIp.h"

CAppareilBaseTcpIp::CAppareilBaseTcpIp() { m_dwCapacites = CAPACITES_TCPIP; }

CAppareilBaseTcpIp::~CAppareilBaseTcpIp() = default;
