// The contact properties a contacts packet carries: the IContact properties by tag, in the order
// the handler writes them, the extended properties of platform version 5 and later, and the
// conversion of contact dates to packet times and back.
#pragma once

#include <pimstore.h>
#include <windows.h>

#include <span>

struct ContactStringProperty {
    ULONG tag;
    HRESULT (STDMETHODCALLTYPE IContact::*get)(BSTR*);
    HRESULT (STDMETHODCALLTYPE IContact::*put)(BSTR);
};

struct ContactDateProperty {
    ULONG tag;
    HRESULT (STDMETHODCALLTYPE IContact::*get)(DATE*);
    HRESULT (STDMETHODCALLTYPE IContact::*put)(DATE);
};

// One row of the packet order: a date or a text property.
struct ContactProperty {
    const ContactDateProperty* date;
    const ContactStringProperty* text;
};

// Every IContact property in packet order.
std::span<const ContactProperty> ContactPropertyOrder();
// The row of `tag`, or a row with both members null.
ContactProperty FindContactProperty(ULONG tag);

// The extended properties, in the order they are read.
std::span<const CEPROPID> ExtendedContactProperties();
bool IsExtendedContactProperty(ULONG tag);
// The contact picture: reported as a bare tag, never written from a packet.
constexpr CEPROPID kContactPictureTag = 0x00FF0064;
// The one extended number property.
constexpr CEPROPID kContactNumberTag = 0x00F80013;

// A contact date as a packet time with the same calendar fields; false for a date that has none.
bool DateToFiletime(DATE date, FILETIME* time);
// A packet time as a contact date; false when the time has no calendar fields.
bool FiletimeToDate(const FILETIME& time, DATE* date);
