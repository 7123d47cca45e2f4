// The system's window interface, as the window's sources include it: without its min and max
// macros, and without its MessageBox macro, which would rename UiHost::MessageBox.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// after windows.h
#include <commctrl.h>

#undef MessageBox
