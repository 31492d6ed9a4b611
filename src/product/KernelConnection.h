#pragma once
// The installer's connection to the translation kernel and the kernel's language directions.
//
// KernelConnection() is the one process-wide KernelService reference: empty until a successful
// EnsureKernelConnection (or a page that connects itself), emptied when a login fails, before
// a further installation and at exit.
#include "product/KernelService.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace quillon {

std::shared_ptr<KernelService>& KernelConnection();
void ReleaseKernelConnection();

// Creates the KernelService object and logs in with (1, "RAVIRI", 1); on success the object
// becomes the connection. False when the object cannot be created or the login fails (the
// connection stays empty); nothing is shown and nothing is thrown.
bool ConnectKernel();

// 1 when the connection is set or ConnectKernel succeeds; 0 otherwise (any error included).
bool EnsureKernelConnection();

// Why the last ConnectKernel failed when the product's kernel is registered but could not be
// started (its library not loaded, no object, a login refused, the process out of descriptors);
// empty when it succeeded or nothing is registered (no KALDO here: message 1035 says it all).
const std::string& KernelConnectionFailure();

// The list a direction list is filled into (a drop-down list on the removal page).
class DirectionListPort {
public:
    virtual ~DirectionListPort() = default;
    virtual void AddString(const std::string& text) = 0;
    virtual void SelectFirst() = 0;
};

// Adds the name of every direction the kernel reports, in the kernel's order, and selects the
// first item; `nameMap` (optional) receives name -> direction id, a later direction of the same
// name overwriting the id. Answers:
//   0 without a message when the kernel cannot be connected;
//   0 with message 1035 when there is still no connection;
//   0 with message 57355 (error icon) when the kernel fails while asked (names added stay);
//   1 otherwise, also for a kernel with no directions.
bool FillDirectionList(DirectionListPort& list, std::map<std::string, std::uint32_t>* nameMap);

// The folder of a direction's dictionaries, with a trailing separator, from the registry
// (HKLM\SOFTWARE\Velmar Soft\Zozedi9\Directions: "Path"; subkeys with "DirID" and "Prefix"):
//   empty when the keys or "Path" are missing, or when a subkey met before the match has no
//   "DirID", or the matching subkey has no "Prefix";
//   "Path" + "/" when no subkey carries the id;
//   "Path" + "/" + Prefix + "/" for the matching subkey.
std::string GetDirectionFolder(std::uint32_t directionId);

} // namespace quillon
