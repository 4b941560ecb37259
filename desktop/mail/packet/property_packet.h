// Property packets: the one wire format between the desktop and device object handlers. A packet
// is a 32-bit property count followed by that many entries, each a 32-bit tag and the value its
// type code calls for, padded with zeros to a 4-byte boundary; all integers are little-endian.
#pragma once

#include "attachment_record.h"
#include "packet_bytes.h"
#include "packet_layout.h"
#include "packet_reader.h"
#include "packet_tags.h"
#include "packet_writer.h"
