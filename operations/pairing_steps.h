#ifndef VOSTREL_OPERATIONS_PAIRING_STEPS_H
#define VOSTREL_OPERATIONS_PAIRING_STEPS_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "result_code.h"

// The steps that pairing two adapters and pairing a master with many
// slaves have in common.

// Fills *address with the hexadecimal digits of reply up to a NUL, if it
// holds one, every other character dropped ("00:1A:7D:DA:71:13" gives
// "001A7DDA7113"). True only when exactly 12 digits remain; anything else is
// not an address.
bool ExtractAddress(const std::string& reply, std::string* address);

// Two addresses are the same whatever the case of their letters.
bool SameAddress(const std::string& a, const std::string& b);

// A step of the dialogue failed: says message and returns result, unless the
// operator has already given up.
ResultCode FailUnlessCancelled(const std::string& message, ResultCode result);

// Says announcement, then brings the link up; says failureMessage when that
// fails.
ResultCode ConnectAnnounced(int32_t port, const std::string& announcement,
                            const std::string& failureMessage);

// Reads the local address of the adapter on the port. A reply that is not
// an address fails, with invalidMessage followed by the reply.
ResultCode ReadLocalAddress(int32_t port, const std::string& invalidMessage, std::string* address);

// Whether the adapter on the port is the one whose address is known. Any
// other reply, an address or not, says it is another adapter.
ResultCode IsAdapterWithAddress(int32_t port, const std::string& known, bool* same);

// How a PIN read from an adapter is checked: as it fits the P register, or
// as -p checks a given one.
enum class PinRule { kAsRead, kAsOption };

// Without -p, the PIN of the adapter on the port is what every adapter of
// the dialogue receives; invalidMessage is said when it does not fit.
ResultCode TakePinUnlessGiven(int32_t port, const std::string& invalidMessage,
                              PinRule rule = PinRule::kAsRead);

// The table for a slave: role slave, remote address the master's, no Auto
// Connection Mode; the serial settings not given on the command line are
// those at which the master answered (LinkState, read now).
void PrepareTableForSlave(const std::string& masterAddress);

// The table for the master: role master, Auto Connection Mode enabled,
// remote address the slave's; the rest stays as the slave got it.
void PrepareTableForMaster(const std::string& slaveAddress);

#endif
