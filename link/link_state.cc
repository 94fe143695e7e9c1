#include "link/link_state.h"

int32_t LinkBaudIndex = 0;
uint16_t LinkParityIndex = 0;
uint16_t LinkStopIndex = 0;

void ResetLinkState() {
  LinkBaudIndex = 0;
  LinkParityIndex = 0;
  LinkStopIndex = 0;
}
