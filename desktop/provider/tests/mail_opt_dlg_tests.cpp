// The mail options dialog as a person drives it through the folder's ActivateDialog: what it
// shows, how its controls enable one another, which entries it refuses, and what OK and Cancel
// leave in the partnership key, on the device and in the folder.
#include "../../resources/resource_ids.h"
#include "mail_fixture.h"

namespace trellium_testing {
namespace {

using pal::DialogSession;

class MailDialogTest : public MailStoreTest {
protected:
    // A connected partnership whose device has its settings key, an initialised store and its
    // mail folder (whose creation already told the device the default setting).
    void SetUpConnected() {
        m_id = Partner();
        Connect(m_id);
        CreateDeviceSettings();
        Initialize();
        m_folder = NewFolder();
        m_folder->IsFolderChanged();
    }
    ~MailDialogTest() override {
        if (m_folder) m_store->FreeObject(ToHandle(m_folder));
    }

    HRESULT Activate(std::function<void(DialogSession&)> driver) {
        Dialogs().SetDriver(std::move(driver));
        return m_store->ActivateDialog(OBJTYPE_DLG_OPTIONS, reinterpret_cast<HWND>(0),
                                       ToHandle(m_folder), nullptr);
    }

    static bool Enabled(DialogSession& dialog, int id) { return dialog.Control(id)->enabled; }
    static bool Checked(DialogSession& dialog, int id) { return dialog.Control(id)->checked; }

    // OK is refused with message `messageId`, the dialog stays open.
    void ExpectRefused(DialogSession& dialog, UINT messageId) {
        EXPECT_TRUE(dialog.Ok());
        EXPECT_FALSE(dialog.Ended());
        ASSERT_EQ(dialog.LastMessageBoxes().size(), 1u);
        EXPECT_EQ(dialog.LastMessageBoxes()[0].text, ResourceText(messageId));
        EXPECT_EQ(dialog.LastMessageBoxes()[0].caption, u"Velumex");
        EXPECT_EQ(dialog.LastMessageBoxes()[0].style, static_cast<UINT>(MB_ICONHAND));
        EXPECT_EQ(dialog.LastMessageBoxes()[0].owner, dialog.Window());
    }

    DWORD m_id = 0;
    CMailFolder* m_folder = nullptr;
};

TEST_F(MailDialogTest, ShowsTheStoredSettingsWithHeadingAndIcon) {
    SetUpConnected();
    // Stored after the folder was made: the dialog reads the key again.
    SetOption(m_id, "Options", 0x3D);
    SetOption(m_id, "MaxLines", 77);
    SetOption(m_id, "Days", 4000000000u);
    SetOption(m_id, "SizeLimit", 300);
    bool shown = false;
    HRESULT result = Activate([&](DialogSession& dialog) {
        shown = true;
        EXPECT_EQ(dialog.TemplateName(), pal::ResourceId(IDD_MAIL_OPTIONS));
        EXPECT_EQ(dialog.Control(IDC_MAX_LINES)->text, u"77");
        EXPECT_EQ(dialog.Control(IDC_DAYS)->text, u"4000000000");
        EXPECT_EQ(dialog.Control(IDC_SIZE_LIMIT)->text, u"300");
        EXPECT_TRUE(Checked(dialog, IDC_SYNC_MAIL));
        EXPECT_FALSE(Checked(dialog, IDC_LIMIT_LINES));
        EXPECT_TRUE(Checked(dialog, IDC_LIMIT_DAYS));
        EXPECT_TRUE(Checked(dialog, IDC_ATTACHMENTS));
        EXPECT_TRUE(Checked(dialog, IDC_LIMIT_ATTACHMENTS));
        EXPECT_TRUE(Checked(dialog, IDC_SEND_MAIL));
        EXPECT_FALSE(Checked(dialog, IDC_NO_KEEP_SENT));
        EXPECT_FALSE(Enabled(dialog, IDC_MAX_LINES));
        EXPECT_TRUE(Enabled(dialog, IDC_DAYS));
        EXPECT_TRUE(Enabled(dialog, IDC_SIZE_LIMIT));
        EXPECT_TRUE(Enabled(dialog, IDC_NO_KEEP_SENT));

        auto icon = dialog.Control(IDC_OPTIONS_ICON);
        EXPECT_NE(icon->icon, nullptr);
        EXPECT_EQ(icon->icon, m_store->m_clientInfo.m_mailIconLarge);
        LOGFONTW heading = {};
        ASSERT_EQ(GetObjectW(dialog.Control(IDC_OPTIONS_HEADING)->font, sizeof heading, &heading),
                  int(sizeof heading));
        EXPECT_EQ(heading.lfWeight, 700);
        LOGFONTW plain = {};
        ASSERT_EQ(GetObjectW(dialog.Control(IDC_SYNC_MAIL)->font, sizeof plain, &plain),
                  int(sizeof plain));
        EXPECT_EQ(std::u16string(heading.lfFaceName), std::u16string(plain.lfFaceName));
        EXPECT_TRUE(dialog.Cancel());
    });
    EXPECT_TRUE(shown);
    EXPECT_EQ(result, RERR_CANCEL);
    EXPECT_EQ(m_folder->m_settings.options, 0x3Du);
    EXPECT_FALSE(m_folder->IsFolderChanged());
}

TEST_F(MailDialogTest, ControlsFollowTheBoxesTheyDependOn) {
    SetUpConnected();
    Activate([&](DialogSession& dialog) {
        // Defaults: synchronize, lines, days, send, no sent copy.
        EXPECT_TRUE(Enabled(dialog, IDC_MAX_LINES));
        EXPECT_TRUE(Enabled(dialog, IDC_ATTACHMENTS));
        EXPECT_FALSE(Enabled(dialog, IDC_LIMIT_ATTACHMENTS));
        EXPECT_FALSE(Enabled(dialog, IDC_SIZE_LIMIT));

        EXPECT_TRUE(dialog.Click(IDC_ATTACHMENTS));
        EXPECT_TRUE(Enabled(dialog, IDC_LIMIT_ATTACHMENTS));
        EXPECT_FALSE(Enabled(dialog, IDC_SIZE_LIMIT));
        EXPECT_TRUE(dialog.Click(IDC_LIMIT_ATTACHMENTS));
        EXPECT_TRUE(Enabled(dialog, IDC_SIZE_LIMIT));
        // Unticking attachments takes the size limit with it, though its box stays ticked.
        EXPECT_TRUE(dialog.Click(IDC_ATTACHMENTS));
        EXPECT_FALSE(Enabled(dialog, IDC_LIMIT_ATTACHMENTS));
        EXPECT_FALSE(Enabled(dialog, IDC_SIZE_LIMIT));
        EXPECT_TRUE(Checked(dialog, IDC_LIMIT_ATTACHMENTS));
        EXPECT_TRUE(dialog.Click(IDC_ATTACHMENTS));
        EXPECT_TRUE(Enabled(dialog, IDC_SIZE_LIMIT));

        EXPECT_TRUE(dialog.Click(IDC_LIMIT_LINES));
        EXPECT_FALSE(Enabled(dialog, IDC_MAX_LINES));
        EXPECT_TRUE(dialog.Click(IDC_LIMIT_DAYS));
        EXPECT_FALSE(Enabled(dialog, IDC_DAYS));

        // Without mail, nothing below the first box can be used; sending stays.
        EXPECT_TRUE(dialog.Click(IDC_SYNC_MAIL));
        for (int id : {IDC_LIMIT_LINES, IDC_MAX_LINES, IDC_LIMIT_DAYS, IDC_DAYS, IDC_ATTACHMENTS,
                       IDC_LIMIT_ATTACHMENTS, IDC_SIZE_LIMIT})
            EXPECT_FALSE(Enabled(dialog, id)) << id;
        EXPECT_TRUE(Enabled(dialog, IDC_SEND_MAIL));
        EXPECT_TRUE(Enabled(dialog, IDC_NO_KEEP_SENT));
        // Back on: each control as its own box says.
        EXPECT_TRUE(dialog.Click(IDC_SYNC_MAIL));
        EXPECT_FALSE(Enabled(dialog, IDC_MAX_LINES));
        EXPECT_FALSE(Enabled(dialog, IDC_DAYS));
        EXPECT_TRUE(Enabled(dialog, IDC_SIZE_LIMIT));

        EXPECT_TRUE(dialog.Click(IDC_SEND_MAIL));
        EXPECT_FALSE(Enabled(dialog, IDC_NO_KEEP_SENT));
        EXPECT_TRUE(dialog.Click(IDC_SEND_MAIL));
        EXPECT_TRUE(Enabled(dialog, IDC_NO_KEEP_SENT));
        dialog.Cancel();
    });
}

TEST_F(MailDialogTest, LineLimitFromFiveTo9999) {
    SetUpConnected();
    HRESULT result = Activate([&](DialogSession& dialog) {
        EXPECT_TRUE(dialog.Type(IDC_MAX_LINES, u"4"));
        ExpectRefused(dialog, IDS_BAD_MAX_LINES);
        EXPECT_TRUE(dialog.Type(IDC_MAX_LINES, u"10000"));
        ExpectRefused(dialog, IDS_BAD_MAX_LINES);
        EXPECT_TRUE(dialog.Type(IDC_MAX_LINES, u""));
        ExpectRefused(dialog, IDS_BAD_MAX_LINES);
        EXPECT_TRUE(dialog.Type(IDC_MAX_LINES, u"5"));
        EXPECT_TRUE(dialog.Ok());
        EXPECT_TRUE(dialog.Ended());
        EXPECT_TRUE(dialog.LastMessageBoxes().empty());
    });
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(Option(m_id, "MaxLines"), 5u);
    EXPECT_EQ(m_folder->m_settings.maxLines, 5u);

    result = Activate([&](DialogSession& dialog) {
        EXPECT_EQ(dialog.Control(IDC_MAX_LINES)->text, u"5");
        dialog.Type(IDC_MAX_LINES, u"9999");
        EXPECT_TRUE(dialog.Ok());
        EXPECT_TRUE(dialog.Ended());
    });
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(Option(m_id, "MaxLines"), 9999u);
}

TEST_F(MailDialogTest, DaysFromZeroTo999AndSizesFromOne) {
    SetUpConnected();
    HRESULT result = Activate([&](DialogSession& dialog) {
        dialog.Type(IDC_DAYS, u"1000");
        ExpectRefused(dialog, IDS_BAD_DAYS);
        dialog.Type(IDC_DAYS, u"0");
        dialog.Click(IDC_ATTACHMENTS);
        dialog.Click(IDC_LIMIT_ATTACHMENTS);
        dialog.Type(IDC_SIZE_LIMIT, u"0");
        ExpectRefused(dialog, IDS_BAD_SIZE_LIMIT);
        dialog.Type(IDC_SIZE_LIMIT, u"10000");
        ExpectRefused(dialog, IDS_BAD_SIZE_LIMIT);
        dialog.Type(IDC_SIZE_LIMIT, u"1");
        EXPECT_TRUE(dialog.Ok());
        EXPECT_TRUE(dialog.Ended());
    });
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(Option(m_id, "Days"), 0u);
    EXPECT_EQ(Option(m_id, "SizeLimit"), 1u);
    EXPECT_EQ(Option(m_id, "Options"), 0x7Fu);
}

TEST_F(MailDialogTest, WithoutMailOnlyTheSendingBitsAndTheOldNumbersRemain) {
    SetUpConnected();
    HRESULT result = Activate([&](DialogSession& dialog) {
        dialog.Type(IDC_MAX_LINES, u"3");
        dialog.Type(IDC_DAYS, u"5000");
        dialog.Click(IDC_ATTACHMENTS);
        dialog.Click(IDC_LIMIT_ATTACHMENTS);
        dialog.Type(IDC_SIZE_LIMIT, u"0");
        EXPECT_TRUE(dialog.Click(IDC_SYNC_MAIL));
        EXPECT_TRUE(dialog.Ok());
        // None of the numbers is looked at.
        EXPECT_TRUE(dialog.Ended());
        EXPECT_TRUE(dialog.LastMessageBoxes().empty());
    });
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(Option(m_id, "Options"), 0x50u);
    EXPECT_EQ(Option(m_id, "MaxLines"), 50u);
    EXPECT_EQ(Option(m_id, "Days"), 4u);
    EXPECT_EQ(Option(m_id, "SizeLimit"), 20u);
    EXPECT_TRUE(m_folder->IsFolderChanged());
}

TEST_F(MailDialogTest, TheDeviceLearnsWhetherToKeepSentMail) {
    SetUpConnected();
    // Made with the defaults (send, no sent copy).
    EXPECT_EQ(DeviceValue(u"NoKeepSentOver"), 1u);
    auto click = [&](std::initializer_list<int> ids) {
        return Activate([ids](DialogSession& dialog) {
            for (int id : ids) EXPECT_TRUE(dialog.Click(id));
            EXPECT_TRUE(dialog.Ok());
        });
    };
    EXPECT_EQ(click({IDC_NO_KEEP_SENT}), S_OK);
    EXPECT_EQ(DeviceValue(u"NoKeepSentOver"), 0u);
    EXPECT_EQ(Option(m_id, "Options"), 0x17u);
    EXPECT_EQ(click({IDC_NO_KEEP_SENT}), S_OK);
    EXPECT_EQ(DeviceValue(u"NoKeepSentOver"), 1u);
    // Without sending, the box below it counts for nothing.
    EXPECT_EQ(click({IDC_SEND_MAIL}), S_OK);
    EXPECT_EQ(DeviceValue(u"NoKeepSentOver"), 0u);
    EXPECT_EQ(Option(m_id, "Options"), 0x07u);
}

TEST_F(MailDialogTest, AnUnchangedOkWritesNothing) {
    SetUpConnected();
    SetDeviceValue(u"NoKeepSentOver", 7);
    HRESULT result = Activate([&](DialogSession& dialog) {
        // Clicked twice: back where it was.
        dialog.Click(IDC_LIMIT_DAYS);
        dialog.Click(IDC_LIMIT_DAYS);
        dialog.Type(IDC_MAX_LINES, u"050");
        EXPECT_TRUE(dialog.Ok());
    });
    EXPECT_EQ(result, S_OK);
    EXPECT_FALSE(OptionsKeyExists(m_id));
    EXPECT_EQ(DeviceValue(u"NoKeepSentOver"), 7u);
    EXPECT_FALSE(m_folder->IsFolderChanged());
}

TEST_F(MailDialogTest, CancelKeepsEverything) {
    SetUpConnected();
    HRESULT result = Activate([&](DialogSession& dialog) {
        dialog.Click(IDC_SYNC_MAIL);
        dialog.Cancel();
    });
    EXPECT_EQ(result, RERR_CANCEL);
    EXPECT_FALSE(OptionsKeyExists(m_id));
    EXPECT_EQ(m_folder->m_settings.options, 0x57u);
    EXPECT_FALSE(m_folder->IsFolderChanged());
}

TEST_F(MailDialogTest, TheSelectedPartnershipNeedsNoDeviceAndTellsItNothing) {
    m_id = Partner();
    Initialize(ISF_SELECTED_DEVICE);
    m_folder = NewFolder();
    auto toggleSending = [&](DialogSession& dialog) {
        dialog.Click(IDC_SEND_MAIL);
        EXPECT_TRUE(dialog.Ok());
    };
    EXPECT_EQ(Activate(toggleSending), S_OK);
    // Not sending, the device has nothing to keep or not: the bit below goes too.
    EXPECT_EQ(Option(m_id, "Options"), 0x07u);

    Connect(m_id);
    CreateDeviceSettings();
    EXPECT_EQ(Activate(toggleSending), S_OK);
    EXPECT_EQ(Option(m_id, "Options"), 0x17u);
    EXPECT_EQ(DeviceValue(u"NoKeepSentOver"), std::nullopt);
}

TEST_F(MailDialogTest, WithoutAPartnershipNoDialogOpens) {
    Initialize();
    m_folder = NewFolder();
    bool shown = false;
    EXPECT_EQ(Activate([&](DialogSession&) { shown = true; }), E_FAIL);
    EXPECT_FALSE(shown);
    EXPECT_EQ(m_store->ActivateDialog(1, nullptr, ToHandle(m_folder), nullptr), E_NOTIMPL);
    EXPECT_EQ(m_folder->ActivateDialog(2, nullptr, nullptr), E_NOTIMPL);
}

}  // namespace
}  // namespace trellium_testing
