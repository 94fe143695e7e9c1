#ifndef VOSTREL_CONSOLE_PRINTABLE_TEXT_H
#define VOSTREL_CONSOLE_PRINTABLE_TEXT_H

#include <string>

// Text from the adapter, made safe for the operator's terminal: every
// control character (0x00-0x1F and 0x7F) becomes "\xNN", so that a reply can
// neither retitle nor clear the screen. Bytes from 0x80 up stay as they are;
// they may be UTF-8.
std::string Printable(const std::string& bytes);

// A port name as the operator's messages show it: printable, and a path of
// any length cut, so that one argument cannot flood the screen.
std::string ShownPortName(const std::string& portName);

#endif
