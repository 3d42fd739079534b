#pragma once
// What TekWinAmpGenLib.h takes from tekbase.idl comes from the system headers.
#include <oaidl.h>
#include <windows.h>
