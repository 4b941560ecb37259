// The change journal: its volume, databases, record properties, change bits and named locks,
// shared by the device provider and the notification service.
#pragma once

#include <cedb.h>
#include <windows.h>

// The journal volume file in the device's root folder.
#define KESTRIN_VOLUME_PATH W("\\kestrin.vol")

// Databases: the contacts journal (in the journal volume) and, under the same name in the
// object store, the echo list; the mail journal (in the journal volume).
#define CONTACTS_JOURNAL_NAME W("_notif_KT")
#define ECHO_LIST_NAME W("_notif_KT")
#define MAIL_JOURNAL_NAME W("_notif_KTMSG")
// The database type of all three.
#define JOURNAL_DB_TYPE 12345

// Record properties.
#define PROPID_CONTACT_OID static_cast<CEPROPID>(0xA0690013)       // CEVT_UI4
#define PROPID_CHANGE_STATE static_cast<CEPROPID>(0xA0700012)      // CEVT_UI2
#define PROPID_MESSAGE_ENTRY_ID static_cast<CEPROPID>(0xA0710041)  // CEVT_BLOB

// ChangeState bits: changed for partnership 1, for partnership 2, and changed again while
// already changed for both (contacts only).
#define CHANGE_PARTNER1 0x0001
#define CHANGE_PARTNER2 0x0002
#define CHANGE_PARTNERS (CHANGE_PARTNER1 | CHANGE_PARTNER2)
#define CHANGE_AGAIN 0x0200

// Named locks: the contacts lock guards the contacts journal and the echo list, the mail lock
// the mail journal.
#define CONTACTS_LOCK_NAME W("Address{C901BAA6-3A79-4d75-8395-CBF7AD3DDC89}")
#define MAIL_LOCK_NAME W("Message{C901BAA6-3A79-4d75-8395-CBF7AD3DDC89}")
