#pragma once

// Reads a Wine prefix's registry files: system.reg (HKEY_LOCAL_MACHINE), user.reg (HKEY_CURRENT_USER) and
// userdef.reg (HKEY_USERS\.Default), at the top of the prefix.
//
// The format, as Wine 8 writes and reads it:
// - Line 1 is exactly "WINE REGISTRY Version 2"; Wine refuses anything else. Then ";; All keys relative to <root>",
//   a blank line and "#arch=win32" or "#arch=win64". Lines end in LF; CR LF is read too, as is UTF-8.
// - Each key: a blank line, "[Software\\Vendor\\App] 1660365260" (the path below the file's top key, its parts
//   joined by an escaped backslash; Unix seconds), "#time=1d8ae5cf1c0e2c4" (the same time as a FILETIME, 100 ns
//   since 1601, in hex), an optional "#class="..."" and "#link" (a symbolic link), then its values. A key that has
//   subkeys and nothing else is not written: its subkeys imply it. Keys come depth first, each key's subkeys and
//   values sorted by name as registry_names.h says.
// - A value: "name"= or @= (the default value), then "text" (REG_SZ), str(2):"text" (REG_EXPAND_SZ), str(7):"a\0b\0"
//   (REG_MULTI_SZ; the terminating NUL is not written), dword:0000000b, hex:aa,bb (REG_BINARY) or hex(N):aa,bb (type
//   N in hex) for any other type and for a string whose data is not whole code units ending in a NUL. Hex data goes
//   on after ",\" on the next line, indented by two spaces, once its line passes 76 characters.
// - Escapes: \\ and \" (and \[ \] in a key's path), \a \b \e \f \n \r \t \v, octal (\0, \001) for other control
//   characters, \x for code units above 127 (\xfc, or \x00fc before a character that is a hex digit). Wine writes
//   nothing but ASCII.
// - Wine skips white space at the start of a line, and lines starting with ";" (comments) or an unknown "#" option.
//   A key or value named twice (in any letter case) is one: the first spelling stays, the last data wins.
//
// The reader keeps the text, so that wine/registry_writer.h writes an untouched key back exactly as it was read.

#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/result.h"
#include "wine/registry.h"

namespace morvane::wine {

// Reads a registry from the file's bytes. Bad input is an error of the kind Damaged, its reason naming the line and
// what was expected there ("line 12: expected \"=\" after the value's name"); `name` (the file's path) is its path.
Result<Registry> ParseRegistry(std::string text, std::string_view name = {});

// Reads the file at `path` (a host path) through the platform layer. A file that cannot be read is the system's
// error; a file that is not one of Wine's registry files is an error as ParseRegistry says.
Result<Registry> ReadRegistryFile(const FileSystem& files, std::string_view path);

}  // namespace morvane::wine
