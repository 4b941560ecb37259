#include "ce_db_volume.h"

CCeDBVolume::CCeDBVolume() : m_mounted(0) { CREATE_SYSTEMGUID(&m_guid); }

CCeDBVolume::~CCeDBVolume() {
    if (IsRealVolume(&m_guid)) Unmount();
}

HRESULT CCeDBVolume::Mount(LPCWSTR path, DWORD flags) {
    Unmount();
    if (!path || !*path) return E_FAIL;
    CEGUID guid;
    CREATE_INVALIDGUID(&guid);
    // Mounts (or counts one more mount of) the volume file and answers its identifier.
    if (!CeMountDBVol(&guid, const_cast<LPWSTR>(path), flags)) return E_FAIL;
    m_guid = guid;
    m_mounted = 1;
    return S_OK;
}

BOOL CCeDBVolume::Unmount() {
    BOOL result = TRUE;
    if (m_mounted) {
        // Takes back this object's mount; the volume closes with its last one.
        result = CeUnmountDBVol(&m_guid);
        if (result) m_mounted = 0;
    }
    CREATE_SYSTEMGUID(&m_guid);
    return result;
}

bool CCeDBVolume::IsRealVolume(const CEGUID* guid) {
    return !CHECK_SYSTEMGUID(guid) && !CHECK_INVALIDGUID(guid);
}
