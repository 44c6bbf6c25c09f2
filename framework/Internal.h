// What the platform files (*_posix.cpp, *_win.cpp) give the portable core of
// the framework. Not part of the framework's interface: include only from
// framework/*.cpp.
#pragma once

#include <cstdint>
#include <string>

#include "System.h"

// Moves temp over dest (dest may exist); false when that failed. Used so that
// a file saved by the framework is either the old one or the whole new one.
bool ReplaceFileWith(const AnsiString& temp, const AnsiString& dest);

#ifndef _WIN32
// The name as the Linux file system wants it: UTF-8, '\\' turned into '/'.
std::string NativePath(const AnsiString& path);
#endif
