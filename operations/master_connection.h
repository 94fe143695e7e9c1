#ifndef VOSTREL_OPERATIONS_MASTER_CONNECTION_H
#define VOSTREL_OPERATIONS_MASTER_CONNECTION_H

#include <cstdint>
#include <string>

#include "result_code.h"

// Makes the master adapter on the port connect by itself to one slave: the
// one recorded in MULTIPAIR.INI under slaveName (any case), or, when
// slaveName is empty, the address given with -d. Other given registers are
// written too. kResultUsage when neither names a slave.
ResultCode ConnectMaster(int32_t port, const std::string& slaveName);

// Makes the master adapter on the port stop connecting by itself and
// forget its slave's address. Other given registers are written too.
ResultCode DisconnectMaster(int32_t port);

#endif
