// The desktop address book's published interface: the library found through HKEY_LOCAL_MACHINE
// "Software\Microsoft\WAB\DLLPath" exports WABOpen, which hands out the address book (IAddrBook)
// and the object that allocates every buffer exchanged with it (IWABObject). Entries are property
// objects (IMailUser); containers (IABContainer) list and create them through tables
// (IMAPITable); change advice reaches an IMAPIAdviseSink.
//
// Only the calls programs of this system make are declared by name; the other slots are reserved
// placeholders (a caller never uses them; the address book answers E_NOTIMPL), kept so that every
// named call sits at its slot. Text properties are ANSI (PT_STRING8).
#pragma once

#include <stddef.h>
#include <windows.h>

// Property types and tags.
#ifndef PT_UNSPECIFIED
#define PT_UNSPECIFIED 0x0000u
#endif
#ifndef PT_NULL
#define PT_NULL 0x0001u
#endif
#ifndef PT_I2
#define PT_I2 0x0002u
#endif
#ifndef PT_LONG
#define PT_LONG 0x0003u
#endif
#ifndef PT_DOUBLE
#define PT_DOUBLE 0x0005u
#endif
#ifndef PT_BOOLEAN
#define PT_BOOLEAN 0x000Bu
#endif
#ifndef PT_I8
#define PT_I8 0x0014u
#endif
#ifndef PT_STRING8
#define PT_STRING8 0x001Eu
#endif
#ifndef PT_SYSTIME
#define PT_SYSTIME 0x0040u
#endif
#ifndef PT_BINARY
#define PT_BINARY 0x0102u
#endif
#ifndef PT_ERROR
#define PT_ERROR 0x000Au
#endif
#ifndef MV_FLAG
#define MV_FLAG 0x1000u
#endif
#ifndef PT_MV_STRING8
#define PT_MV_STRING8 (MV_FLAG | PT_STRING8)
#endif
#ifndef PT_MV_BINARY
#define PT_MV_BINARY (MV_FLAG | PT_BINARY)
#endif
#ifndef PROP_TYPE
#define PROP_TYPE(tag) ((ULONG)(tag) & 0xFFFFu)
#endif
#ifndef PROP_ID
#define PROP_ID(tag) ((ULONG)(tag) >> 16)
#endif
#ifndef PROP_TAG
#define PROP_TAG(type, id) ((((ULONG)(id)) << 16) | ((ULONG)(type)))
#endif

#ifndef PR_ENTRYID
#define PR_ENTRYID 0x0FFF0102u
#endif
#ifndef PR_OBJECT_TYPE
#define PR_OBJECT_TYPE 0x0FFE0003u
#endif
#ifndef PR_DISPLAY_NAME_A
#define PR_DISPLAY_NAME_A 0x3001001Eu
#endif
#ifndef PR_EMAIL_ADDRESS_A
#define PR_EMAIL_ADDRESS_A 0x3003001Eu
#endif
#ifndef PR_COMMENT_A
#define PR_COMMENT_A 0x3004001Eu
#endif
#ifndef PR_LAST_MODIFICATION_TIME
#define PR_LAST_MODIFICATION_TIME 0x30080040u
#endif
#ifndef PR_GIVEN_NAME_A
#define PR_GIVEN_NAME_A 0x3A06001Eu
#endif
#ifndef PR_BUSINESS_TELEPHONE_NUMBER_A
#define PR_BUSINESS_TELEPHONE_NUMBER_A 0x3A08001Eu
#endif
#ifndef PR_HOME_TELEPHONE_NUMBER_A
#define PR_HOME_TELEPHONE_NUMBER_A 0x3A09001Eu
#endif
#ifndef PR_SURNAME_A
#define PR_SURNAME_A 0x3A11001Eu
#endif
#ifndef PR_COMPANY_NAME_A
#define PR_COMPANY_NAME_A 0x3A16001Eu
#endif
#ifndef PR_TITLE_A
#define PR_TITLE_A 0x3A17001Eu
#endif
#ifndef PR_DEPARTMENT_NAME_A
#define PR_DEPARTMENT_NAME_A 0x3A18001Eu
#endif
#ifndef PR_OFFICE_LOCATION_A
#define PR_OFFICE_LOCATION_A 0x3A19001Eu
#endif
#ifndef PR_MOBILE_TELEPHONE_NUMBER_A
#define PR_MOBILE_TELEPHONE_NUMBER_A 0x3A1C001Eu
#endif
#ifndef PR_PAGER_TELEPHONE_NUMBER_A
#define PR_PAGER_TELEPHONE_NUMBER_A 0x3A21001Eu
#endif
#ifndef PR_BUSINESS_FAX_NUMBER_A
#define PR_BUSINESS_FAX_NUMBER_A 0x3A24001Eu
#endif
#ifndef PR_HOME_FAX_NUMBER_A
#define PR_HOME_FAX_NUMBER_A 0x3A25001Eu
#endif
#ifndef PR_BUSINESS_ADDRESS_COUNTRY_A
#define PR_BUSINESS_ADDRESS_COUNTRY_A 0x3A26001Eu
#endif
#ifndef PR_BUSINESS_ADDRESS_CITY_A
#define PR_BUSINESS_ADDRESS_CITY_A 0x3A27001Eu
#endif
#ifndef PR_BUSINESS_ADDRESS_STATE_OR_PROVINCE_A
#define PR_BUSINESS_ADDRESS_STATE_OR_PROVINCE_A 0x3A28001Eu
#endif
#ifndef PR_BUSINESS_ADDRESS_STREET_A
#define PR_BUSINESS_ADDRESS_STREET_A 0x3A29001Eu
#endif
#ifndef PR_BUSINESS_ADDRESS_POSTAL_CODE_A
#define PR_BUSINESS_ADDRESS_POSTAL_CODE_A 0x3A2A001Eu
#endif
#ifndef PR_WEDDING_ANNIVERSARY
#define PR_WEDDING_ANNIVERSARY 0x3A410040u
#endif
#ifndef PR_BIRTHDAY
#define PR_BIRTHDAY 0x3A420040u
#endif
#ifndef PR_MIDDLE_NAME_A
#define PR_MIDDLE_NAME_A 0x3A44001Eu
#endif
#ifndef PR_DISPLAY_NAME_PREFIX_A
#define PR_DISPLAY_NAME_PREFIX_A 0x3A45001Eu
#endif
#ifndef PR_SPOUSE_NAME_A
#define PR_SPOUSE_NAME_A 0x3A48001Eu
#endif
#ifndef PR_NICKNAME_A
#define PR_NICKNAME_A 0x3A4F001Eu
#endif
#ifndef PR_PERSONAL_HOME_PAGE_A
#define PR_PERSONAL_HOME_PAGE_A 0x3A50001Eu
#endif
#ifndef PR_CONTACT_DEFAULT_ADDRESS_INDEX
#define PR_CONTACT_DEFAULT_ADDRESS_INDEX 0x3A550003u
#endif
#ifndef PR_CONTACT_EMAIL_ADDRESSES_A
#define PR_CONTACT_EMAIL_ADDRESSES_A 0x3A56101Eu
#endif
#ifndef PR_CHILDRENS_NAMES_A
#define PR_CHILDRENS_NAMES_A 0x3A58101Eu
#endif
#ifndef PR_HOME_ADDRESS_CITY_A
#define PR_HOME_ADDRESS_CITY_A 0x3A59001Eu
#endif
#ifndef PR_HOME_ADDRESS_COUNTRY_A
#define PR_HOME_ADDRESS_COUNTRY_A 0x3A5A001Eu
#endif
#ifndef PR_HOME_ADDRESS_POSTAL_CODE_A
#define PR_HOME_ADDRESS_POSTAL_CODE_A 0x3A5B001Eu
#endif
#ifndef PR_HOME_ADDRESS_STATE_OR_PROVINCE_A
#define PR_HOME_ADDRESS_STATE_OR_PROVINCE_A 0x3A5C001Eu
#endif
#ifndef PR_HOME_ADDRESS_STREET_A
#define PR_HOME_ADDRESS_STREET_A 0x3A5D001Eu
#endif
#ifndef PR_DEF_CREATE_MAILUSER
#define PR_DEF_CREATE_MAILUSER 0x36040102u
#endif
// The address book's own properties: a second business telephone number, and the identifiers of
// the folders an entry belongs to (multi-valued, in the order the entry joined them).
#ifndef PR_WAB_BUSINESS2_TELEPHONE_NUMBER_A
#define PR_WAB_BUSINESS2_TELEPHONE_NUMBER_A 0x800A001Eu
#endif
#ifndef PR_WAB_FOLDER_PARENT
#define PR_WAB_FOLDER_PARENT 0x800B1102u
#endif

// Object types (PR_OBJECT_TYPE).
#define MAPI_ABCONT 4
#define MAPI_MAILUSER 6
#define MAPI_DISTLIST 8

// Flags.
#define MAPI_MODIFY 0x00000001u
#define MAPI_BEST_ACCESS 0x00000010u
#define KEEP_OPEN_READONLY 0x00000001u
#define KEEP_OPEN_READWRITE 0x00000002u
#define WAB_LOCAL_CONTAINERS 0x00100000u
#define WAB_PROFILE_CONTENTS 0x00200000u
#define WAB_ENABLE_PROFILES 0x00400000u
#define fnevObjectModified 0x00000010u
#define BOOKMARK_BEGINNING 0u

// Results.
#define MAPI_E_NOT_FOUND ((HRESULT)0x8004010FL)
#define MAPI_E_AMBIGUOUS_RECIP ((HRESULT)0x80040700L)
#define MAPI_E_INVALID_ENTRYID ((HRESULT)0x80040107L)
#define MAPI_E_NO_ACCESS ((HRESULT)0x80070005L)
#define MAPI_E_CALL_FAILED ((HRESULT)0x80004005L)
#define MAPI_W_ERRORS_RETURNED ((HRESULT)0x00040380L)

// The size WABOpen expects in WAB_PARAM.cbSize: the structure as the published 32-bit library
// lays it out.
#define WAB_PARAM_SIZE 32u

typedef struct {
    ULONG cb;
    LPBYTE lpb;
} SBinary, *LPSBinary;

typedef struct {
    ULONG cValues;
    SBinary* lpbin;
} SBinaryArray, ENTRYLIST, *LPENTRYLIST;

typedef struct {
    ULONG cValues;
    LPSTR* lppszA;
} SLPSTRArray;

typedef union {
    short int i;
    LONG l;
    ULONG ul;
    double dbl;
    unsigned short int b;
    LPSTR lpszA;
    SBinary bin;
    FILETIME ft;
    SLPSTRArray MVszA;
    SBinaryArray MVbin;
    LONG err;
    LONGLONG li;
} PV;

typedef struct {
    ULONG ulPropTag;
    ULONG dwAlignPad;
    PV Value;
} SPropValue, *LPSPropValue;

typedef struct {
    ULONG cValues;
    ULONG aulPropTag[1];
} SPropTagArray, *LPSPropTagArray;

// The size of a tag array of n tags.
#define CbNewSPropTagArray(n) (sizeof(ULONG) * (1 + (n)))

typedef struct {
    ULONG ulAdrEntryPad;
    ULONG cValues;
    LPSPropValue lpProps;
} SRow, *LPSRow, ADRENTRY, *LPADRENTRY;

typedef struct {
    ULONG cRows;
    SRow aRow[1];
} SRowSet, *LPSRowSet;

typedef struct {
    ULONG cEntries;
    ADRENTRY aEntries[1];
} ADRLIST, *LPADRLIST;

#define CbNewSRowSet(n) (offsetof(SRowSet, aRow) + sizeof(SRow) * (n))
#define CbNewADRLIST(n) (offsetof(ADRLIST, aEntries) + sizeof(ADRENTRY) * (n))

typedef struct {
    ULONG ulEventType;
    ULONG cbEntryID;
    LPBYTE lpEntryID;
} NOTIFICATION, *LPNOTIFICATION;

typedef struct {
    ULONG cbSize;
    HWND hwnd;
    LPSTR szFileName;
    ULONG ulFlags;
    GUID guidPSExt;
} WAB_PARAM, *LPWAB_PARAM;

struct IMAPITable;
struct IABContainer;

struct IMAPIAdviseSink : public IUnknown {
    // Slot 3. Called synchronously, on the thread that made the change.
    STDMETHOD_(ULONG, OnNotify)(ULONG cNotif, LPNOTIFICATION lpNotifications) PURE;
};
typedef IMAPIAdviseSink* LPMAPIADVISESINK;

struct IWABObject : public IUnknown {
    STDMETHOD(Reserved3)() PURE;
    // Slot 4. A block that FreeBuffer releases with every block AllocateMore chained to it.
    STDMETHOD(AllocateBuffer)(ULONG cbSize, LPVOID* lppBuffer) PURE;
    // Slot 5. A block released together with lpObject.
    STDMETHOD(AllocateMore)(ULONG cbSize, LPVOID lpObject, LPVOID* lppBuffer) PURE;
    // Slot 6.
    STDMETHOD(FreeBuffer)(LPVOID lpBuffer) PURE;
};
typedef IWABObject* LPWABOBJECT;

// The property slots shared by entries, containers and the address book itself.
struct IMAPIProp : public IUnknown {
    STDMETHOD(Reserved3)() PURE;
    // Slot 4. Writes the changes; KEEP_OPEN_READWRITE leaves the object open for more.
    STDMETHOD(SaveChanges)(ULONG ulFlags) PURE;
    // Slot 5. The listed properties (a PT_ERROR value for each one missing, and
    // MAPI_W_ERRORS_RETURNED), or every property in stored order when the list is null. The
    // array comes from AllocateBuffer.
    STDMETHOD(GetProps)(LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG* lpcValues,
                        LPSPropValue* lppPropArray) PURE;
    STDMETHOD(Reserved6)() PURE;
    STDMETHOD(Reserved7)() PURE;
    // Slot 8.
    STDMETHOD(SetProps)(ULONG cValues, LPSPropValue lpPropArray, LPVOID lppProblems) PURE;
    // Slot 9.
    STDMETHOD(DeleteProps)(LPSPropTagArray lpPropTagArray, LPVOID lppProblems) PURE;
    STDMETHOD(Reserved10)() PURE;
    STDMETHOD(Reserved11)() PURE;
    STDMETHOD(Reserved12)() PURE;
    STDMETHOD(Reserved13)() PURE;
};

typedef IMAPIProp IMailUser;
typedef IMailUser* LPMAILUSER;

struct IABContainer : public IMAPIProp {
    // Slot 14. WAB_PROFILE_CONTENTS | WAB_LOCAL_CONTAINERS: every entry of every folder, once.
    STDMETHOD(GetContentsTable)(ULONG ulFlags, IMAPITable** lppTable) PURE;
    // Slot 15. The folders (WAB_LOCAL_CONTAINERS).
    STDMETHOD(GetHierarchyTable)(ULONG ulFlags, IMAPITable** lppTable) PURE;
    STDMETHOD(Reserved16)() PURE;
    STDMETHOD(Reserved17)() PURE;
    STDMETHOD(Reserved18)() PURE;
    // Slot 19. A new entry from the template identifier (PR_DEF_CREATE_MAILUSER); it is stored
    // at its first SaveChanges.
    STDMETHOD(CreateEntry)(ULONG cbEntryID, LPBYTE lpEntryID, ULONG ulCreateFlags,
                           IMAPIProp** lppMAPIPropEntry) PURE;
    STDMETHOD(Reserved20)() PURE;
    // Slot 21.
    STDMETHOD(DeleteEntries)(LPENTRYLIST lpEntries, ULONG ulFlags) PURE;
};
typedef IABContainer* LPABCONT;

struct IMAPITable : public IUnknown {
    STDMETHOD(Reserved3)() PURE;
    STDMETHOD(Reserved4)() PURE;
    STDMETHOD(Reserved5)() PURE;
    STDMETHOD(Reserved6)() PURE;
    // Slot 7.
    STDMETHOD(SetColumns)(LPSPropTagArray lpPropTagArray, ULONG ulFlags) PURE;
    STDMETHOD(Reserved8)() PURE;
    // Slot 9.
    STDMETHOD(GetRowCount)(ULONG ulFlags, ULONG* lpulCount) PURE;
    // Slot 10.
    STDMETHOD(SeekRow)(ULONG bkOrigin, LONG lRowCount, LONG* lplRowsSought) PURE;
    STDMETHOD(Reserved11)() PURE;
    STDMETHOD(Reserved12)() PURE;
    STDMETHOD(Reserved13)() PURE;
    STDMETHOD(Reserved14)() PURE;
    STDMETHOD(Reserved15)() PURE;
    STDMETHOD(Reserved16)() PURE;
    STDMETHOD(Reserved17)() PURE;
    STDMETHOD(Reserved18)() PURE;
    // Slot 19. Up to lRowCount rows from the cursor; the row set and each row's property array
    // are separate AllocateBuffer blocks. No row at the end.
    STDMETHOD(QueryRows)(LONG lRowCount, ULONG ulFlags, LPSRowSet* lppRows) PURE;
};
typedef IMAPITable* LPMAPITABLE;

struct IAddrBook : public IMAPIProp {
    // Slot 14. The root container for an empty identifier; lpInterface is ignored.
    STDMETHOD(OpenEntry)(ULONG cbEntryID, LPBYTE lpEntryID, LPVOID lpInterface, ULONG ulFlags,
                         ULONG* lpulObjType, IUnknown** lppUnk) PURE;
    STDMETHOD(Reserved15)() PURE;
    // Slot 16. An empty identifier watches the whole book; *lpulConnection is never 0.
    STDMETHOD(Advise)(ULONG cbEntryID, LPBYTE lpEntryID, ULONG ulEventMask,
                      LPMAPIADVISESINK lpAdviseSink, ULONG* lpulConnection) PURE;
    // Slot 17.
    STDMETHOD(Unadvise)(ULONG ulConnection) PURE;
    STDMETHOD(Reserved18)() PURE;
    STDMETHOD(Reserved19)() PURE;
    // Slot 20. Resolves each recipient by its PR_DISPLAY_NAME_A: one entry with that name (case
    // ignored) replaces the row's properties with the entry's display name, PR_ENTRYID and
    // object type; none gives MAPI_E_NOT_FOUND, several MAPI_E_AMBIGUOUS_RECIP.
    STDMETHOD(ResolveName)(ULONG_PTR ulUIParam, ULONG ulFlags, LPSTR lpszNewEntryTitle,
                           LPADRLIST lpAdrList) PURE;
    STDMETHOD(Reserved21)() PURE;
    STDMETHOD(Reserved22)() PURE;
    STDMETHOD(Reserved23)() PURE;
    STDMETHOD(Reserved24)() PURE;
    // Slot 25. The personal address book's identifier, from AllocateBuffer.
    STDMETHOD(GetPAB)(ULONG* lpcbEntryID, LPBYTE* lppEntryID) PURE;
};
typedef IAddrBook* LPADRBOOK;

// The library's one entry point.
typedef HRESULT(STDMETHODCALLTYPE* LPWABOPEN)(LPADRBOOK* lppAdrBook, LPWABOBJECT* lppWABObject,
                                              LPWAB_PARAM lpWP, DWORD Reserved2);
