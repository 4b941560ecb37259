// A device world with a mounted journal volume and helpers to fill the journals.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "ce_db.h"
#include "ce_db_volume.h"
#include "journal.h"
#include "journal_operations.h"
#include "pal_testing/temp_world.h"

class JournalTest : public pal::testing::DeviceTest {
protected:
    JournalTest() { EXPECT_EQ(m_volume.Mount(KESTRIN_VOLUME_PATH, OPEN_ALWAYS), S_OK); }

    // Creates the contacts journal (sorted by ContactOid) or the mail journal as the service does.
    CEOID CreateJournal(const JournalKind& kind) {
        CEOID oid = 0;
        SORTORDERSPEC sort{PROPID_CONTACT_OID, 0};
        bool sorted = kind.sortProperty != 0;
        EXPECT_EQ(CreateDatabase(kind.name, JOURNAL_DB_TYPE, &oid, sorted ? 1 : 0,
                                 sorted ? &sort : nullptr, m_volume.Guid()),
                  S_OK);
        return oid;
    }

    // Adds a record with ChangeState (and ContactOid for the contacts journal).
    CEOID AddRecord(const JournalKind& kind, USHORT state, ULONG contact = 0) {
        CCeDB db;
        db.Open(kind.name, 0, nullptr, 0, 0, m_volume.Guid());
        EXPECT_TRUE(db.IsOpen());
        std::vector<CEPROPVAL> values(1);
        values[0].propid = PROPID_CHANGE_STATE;
        values[0].val.uiVal = state;
        if (&kind == &kContactsJournal) {
            CEPROPVAL oid{};
            oid.propid = PROPID_CONTACT_OID;
            oid.val.ulVal = contact;
            values.push_back(oid);
        }
        return CeWriteRecordProps(db.Handle(), 0, static_cast<WORD>(values.size()), values.data());
    }

    USHORT StateOf(const JournalKind& kind, CEOID record) {
        CCeDB db;
        db.Open(kind.name, 0, nullptr, 0, 0, m_volume.Guid());
        EXPECT_EQ(CeSeekDatabase(db.Handle(), CEDB_SEEK_CEOID, record, nullptr), record);
        CEPROPVAL value{};
        LPBYTE buffer = reinterpret_cast<LPBYTE>(&value);
        DWORD size = sizeof(value);
        WORD count = 1;
        CEPROPID id = PROPID_CHANGE_STATE;
        EXPECT_EQ(CeReadRecordPropsEx(db.Handle(), 0, &count, &id, &buffer, &size, nullptr),
                  record);
        return value.val.uiVal;
    }

    // An OBJNOTIFY as the engine hands it for a record of `kind`'s journal.
    OBJNOTIFY Notification(const JournalKind& kind, UINT flags, CEOID record) {
        OBJNOTIFY notify{};
        notify.cbStruct = CBSTRUCT_OBJNOTIFY;
        notify.uFlags = flags;
        notify.uPartnerBit = 1;
        notify.oidObject = record;
        CEOIDINFO info{};
        if (record && CeOidGetInfoEx(m_volume.Guid(), record, &info)) notify.oidInfo = info;
        if (flags & ONF_DELETED) {
            notify.oidInfo.wObjType = OBJTYPE_RECORD;
            notify.oidInfo.infRecord.oidParent = JournalOid(kind);
        }
        notify.lpbVolumeID = reinterpret_cast<LPBYTE>(m_volume.Guid());
        notify.cbVolumeID = sizeof(CEGUID);
        notify.cOidChg = notify.cOidDel = 99;
        return notify;
    }

    CEOID JournalOid(const JournalKind& kind) {
        CCeDB db;
        db.Open(kind.name, 0, nullptr, 0, 0, m_volume.Guid());
        return db.Oid();
    }

    static std::vector<UINT> Listed(const FINDOBJINFO& info) {
        return std::vector<UINT>(info.poid, info.poid + info.cUnChg + info.cChg);
    }

    CCeDBVolume m_volume;
};
