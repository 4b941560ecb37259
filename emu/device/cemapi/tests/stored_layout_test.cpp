#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "emu/cemapi/message_stores.h"
#include "pal/runtime/machine.h"
#include "pal_testing/temp_world.h"
#include "sqlite_testing/sql_file.h"

namespace emu::cemapi::testing {
namespace {

class StoredLayout : public pal::testing::DeviceTest {
protected:
    std::filesystem::path StoreFile() { return m_world.Device().Dir() / "messagestores" / "1.db"; }
};

// A store written before values were kept in one tree per (object, property id): the six
// folders and one Inbox message with a subject, a class, flags and a recipient.
TEST_F(StoredLayout, AStoreInTheRowTableLayoutOpensWithEveryValueAndTakesNewOnes) {
    std::filesystem::create_directories(StoreFile().parent_path());
    ASSERT_EQ(sqlite::testing::ExecuteSql(StoreFile(),
        "CREATE TABLE meta(key TEXT PRIMARY KEY, value BLOB NOT NULL);"
        "CREATE TABLE objects(id INTEGER PRIMARY KEY AUTOINCREMENT, type INTEGER NOT NULL,"
        " parent INTEGER NOT NULL, number INTEGER NOT NULL, attachments INTEGER NOT NULL DEFAULT 0,"
        " recipients INTEGER NOT NULL DEFAULT 0);"
        "CREATE INDEX objects_parent ON objects(parent, type);"
        "CREATE TABLE props(object INTEGER NOT NULL, id INTEGER NOT NULL, tag INTEGER NOT NULL,"
        " value BLOB NOT NULL, PRIMARY KEY(object, id));"
        "INSERT INTO meta VALUES('uid', x'00112233445566778899aabbccddeeff'),"
        " ('name', x'4f006c006400');"
        "INSERT INTO objects(id, type, parent, number) VALUES(1, 3, 1, 1), (2, 3, 1, 2),"
        " (3, 3, 1, 3), (4, 3, 1, 4), (5, 3, 1, 5), (6, 3, 1, 6);"
        "INSERT INTO objects(id, type, parent, number, recipients) VALUES(7, 5, 2, 0, 1);"
        "INSERT INTO objects(id, type, parent, number) VALUES(8, 6, 7, 1);"
        // Written out of property-id order: subject, class, flags; the recipient's address.
        "INSERT INTO props VALUES(7, 55, 3604511, x'48006900'),"
        " (7, 26, 1703967, x'490050004d002e004e006f0074006500'), (7, 3591, 235339779, x'01000000'),"
        " (8, 12291, 805503007, x'6100400078002e0063006f006d00');"
        "PRAGMA journal_mode=WAL;"),
              "");

    pal::Machine& device = m_world.Device();
    auto stores = ListStores(device);
    ASSERT_EQ(stores.size(), 1u);
    EXPECT_EQ(stores[0].name, u"Old");
    EXPECT_NE(sqlite::testing::QueryText(StoreFile(), "SELECT sql FROM sqlite_master WHERE name = 'props'")
                  .find("WITHOUT ROWID"),
              std::string::npos);

    auto messages = ListMessages(device, 1, FolderKind::Inbox);
    ASSERT_EQ(messages.size(), 1u);
    auto message = ReadMessage(device, 1, messages[0].id);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->subject, u"Hi");
    EXPECT_EQ(message->messageClass, u"IPM.Note");
    EXPECT_EQ(message->flags, 1u);
    ASSERT_EQ(message->recipients.size(), 1u);
    EXPECT_EQ(message->recipients[0].address, u"a@x.com");

    // New objects take identifiers after the old ones and keep their values.
    NewMessage composed;
    composed.subject = u"Reply";
    composed.body = u"text";
    std::int64_t id = ComposeMessage(device, 1, composed);
    EXPECT_GT(id, 8);
    auto read = ReadMessage(device, 1, id);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->subject, u"Reply");
    EXPECT_EQ(read->body, u"text");
}

}  // namespace
}  // namespace emu::cemapi::testing
