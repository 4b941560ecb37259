// A mounted property-database volume.
#pragma once

#include <cedb.h>
#include <windows.h>

class CCeDBVolume {
public:
    CCeDBVolume();
    // Takes back the mount when the identifier names a real volume.
    virtual ~CCeDBVolume();
    CCeDBVolume(const CCeDBVolume&) = delete;
    CCeDBVolume& operator=(const CCeDBVolume&) = delete;

    // Unmounts any earlier volume, then mounts `path` with a creation disposition (OPEN_ALWAYS
    // creates the file). E_FAIL for a null or empty path or a failed mount, which leaves the
    // object unmounted with a zero identifier.
    HRESULT Mount(LPCWSTR path, DWORD flags);
    // TRUE when nothing was mounted, else the platform's result; the identifier is zero after.
    BOOL Unmount();

    bool IsMounted() const { return m_mounted != 0; }
    // The volume identifier: zero when not mounted.
    CEGUID* Guid() { return &m_guid; }
    const CEGUID* Guid() const { return &m_guid; }

    // A real volume: neither the object store (all zero) nor the invalid identifier (all ones).
    static bool IsRealVolume(const CEGUID* guid);

private:
    DWORD m_mounted;
    CEGUID m_guid;
};
