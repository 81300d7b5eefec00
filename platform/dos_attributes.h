#pragma once

#include <string>
#include <string_view>

// The DOS attribute bits kept in the extended attribute user.DOSATTRIB, as Wine and Samba write them.
namespace morvane::host {

constexpr const char* kDosAttributeName = "user.DOSATTRIB";
constexpr unsigned kDosHidden = 0x2;
constexpr unsigned kDosSystem = 0x4;

// The bits of user.DOSATTRIB ("0x22"), 0 when the attribute is missing or not in that form.
unsigned parseDosBits(std::string_view text, bool* wellFormed = nullptr);
// Reads user.DOSATTRIB of a host path without following a link; empty when there is none.
std::string readDosAttribute(const std::string& hostPath);
unsigned dosBits(const std::string& hostPath);

}  // namespace morvane::host
