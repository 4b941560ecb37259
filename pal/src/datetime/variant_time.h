// OLE automation dates ⟷ calendar fields.
#pragma once

#include <optional>

#include "pal/datetime.h"

namespace pal::variant_time {

// The DATE of valid fields to the second (milliseconds ignored); nothing out of range or outside
// years 100-9999.
std::optional<DATE> FromFields(const SYSTEMTIME& time);

}  // namespace pal::variant_time
