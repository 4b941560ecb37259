// The contact property set that crosses the wire: 36 address-book properties and the packet tag
// each travels under, and the receiving order of the packet tags.
#pragma once

#include <windows.h>

struct ContactProperty {
    ULONG bookTag;    // the address-book property
    ULONG packetTag;  // its packet tag; 0 for the two that travel as e-mail slots
};

// Rows in table order; the duplicate check and the write pass walk exactly these.
constexpr int kContactPropertyCount = 36;
extern const ContactProperty kContactProperties[kContactPropertyCount];

// Packet tags in the order a received packet is applied, each with the address-book property it
// fills (0 for the second and third e-mail slots, which have none of their own).
constexpr int kReceivingCount = 36;
extern const ContactProperty kReceivingTable[kReceivingCount];

// Packet tags of the file-as name and the three e-mail slots.
constexpr ULONG kPacketFileAs = 0x0080001F;
constexpr ULONG kPacketEmail1 = 0x0090001F;
constexpr ULONG kPacketEmail2 = 0x0091001F;
constexpr ULONG kPacketEmail3 = 0x0092001F;
// Added to a packet tag's type code, with no value: the property is empty on the sender's side.
constexpr ULONG kClearMarkerFlag = 0x0400;

// The row of an address-book property, or null.
const ContactProperty* FindByBookTag(ULONG bookTag);
// The receiving row of a packet tag, or null (clear markers and unknown tags).
const ContactProperty* FindByPacketTag(ULONG packetTag);
