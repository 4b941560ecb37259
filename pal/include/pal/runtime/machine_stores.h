// Stores a machine keeps as files in its folder (hives, databases), named relative to that
// folder. A store is recorded (in "stores.list") once it has been made; one recorded but since
// lost makes the world damaged, and is reported rather than made again empty.
#pragma once

#include <string>

#include "pal/runtime/machine.h"

namespace pal {

// True when the store's file is there; false when it was never made. Throws WorldError
// ("damaged world: …") when it was made and is now missing, and when it is empty.
bool CheckStore(const Machine& machine, const std::string& fileName);
// Records that the store's file has been made.
void RecordStore(const Machine& machine, const std::string& fileName);
// CheckStore for every recorded store (the world does this when it opens).
void CheckRecordedStores(const Machine& machine);

}  // namespace pal
