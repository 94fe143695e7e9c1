#ifndef VOSTREL_LINK_AT_EXCHANGE_H
#define VOSTREL_LINK_AT_EXCHANGE_H

#include <cstdint>
#include <string>

#include "result_code.h"

// Puts command on the line byte by byte, each after the echo of the one before.
ResultCode SendEchoed(int32_t port, const std::string& command);
// Sends command and waits for "OK\r\n": three attempts, spinner on failure.
ResultCode SendAndAwaitOk(int32_t port, const std::string& command);
// Sends a query and reads the one-line reply into ResponseLine.
ResultCode ReadReply(int32_t port, const std::string& command);
// Writes one register: "AT" + code + CR, with "Sending: code".
ResultCode SendSetting(int32_t port, const std::string& code);
// Reads register index of the SettingsTable into ResponseLine.
ResultCode QueryRegister(int32_t port, int index);
// The reply line of the last successful read, NULs included: the one way
// to the reply outside the exchange.
std::string LastReply();
// Reads the Role register; *master tells whether the adapter answered that
// it is a master (a reply that starts with the digit 0, the entry "R0";
// anything else counts as slave). Returns the read's result.
ResultCode QueryIsMaster(int32_t port, bool* master);

#endif
