#pragma once

// Writes a registry as Wine writes its registry files (the format is in wine/registry_reader.h).
//
// The lines before the first key come first as they were read. Then the keys, depth first, each key's subkeys in
// Wine's order. A key no operation touched is written exactly as it was read. A key an operation touched is written
// as Wine writes one: a blank line, "[path] seconds", "#time=", "#class=" and "#link" when it has them, and its
// values in Wine's order, each as Wine writes it; but only when it has values, no subkeys, a class or a link, as
// Wine leaves out a key that its subkeys imply.
//
// One difference from Wine: a name whose last code unit is NUL keeps it ("a\0"), where Wine's files lose it.

#include <functional>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/result.h"
#include "wine/registry.h"

namespace morvane::wine {

// Hands the file's bytes to `out`, a piece at a time, in order.
void WriteRegistry(const Registry& registry, const std::function<void(std::string_view)>& out);

// The file's bytes.
std::string FormatRegistry(const Registry& registry);

// Writes the file at `path` (a host path) through the platform layer, under a temporary name then renamed into
// place, as Wine saves its files. A failed write leaves the old file as it was.
Status WriteRegistryFile(FileSystem& files, std::string_view path, const Registry& registry);

}  // namespace morvane::wine
