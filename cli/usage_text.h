#ifndef VOSTREL_CLI_USAGE_TEXT_H
#define VOSTREL_CLI_USAGE_TEXT_H

const char* UsageText();

// Two lines naming the program and its version, printed on every run.
void PrintBanner();
void PrintUsage();

#endif
