#include "run_state.h"

#include <cstring>

SettingDescriptor SettingsTable[kRegisterCount];
char RemoteAddressBuffer[kRemoteAddressBufferSize];
char NameBuffer[kNameBufferSize];
char PinBuffer[kPinBufferSize];
int32_t DebugLevel = 0;
char ResponseLine[kResponseLineLength + 1] = "";
int32_t ResponseLength = 0;
int32_t SpinnerPos = 0;
int32_t FirmwareIndex = 0;
int32_t LinkBaudIndex = 0;
uint16_t LinkParityIndex = 0;
uint16_t LinkStopIndex = 0;
int32_t CancelRequested = 0;
int32_t PortLost = 0;
int32_t JsonOutput = 0;
int32_t RoleIsSlave = 1;

void ResetRunState() {
  LoadInitialSettings();
  DebugLevel = 0;
  std::memset(ResponseLine, 0, sizeof ResponseLine);
  ResponseLength = 0;
  SpinnerPos = 0;
  FirmwareIndex = 0;
  LinkBaudIndex = 0;
  LinkParityIndex = 0;
  LinkStopIndex = 0;
  CancelRequested = 0;
  PortLost = 0;
  JsonOutput = 0;
  RoleIsSlave = 1;
}
