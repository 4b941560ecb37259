// CMailFileFilter: the site through which a file-conversion filter opens the file it converts
// and the files it makes.
#pragma once

#include <file_filter.h>
#include <windows.h>

#include <atomic>
#include <string>

class CMailFileFilter : public ICeFileFilterSite {
public:
    // A site for converting `sourcePath`, with no reference yet: the converter takes the first.
    explicit CMailFileFilter(LPCSTR sourcePath);

    // Where OpenDestinationFile writes when the filter names no path.
    void SetDestinationPath(LPCSTR path) { m_destination = path; }

    // IUnknown and ICeFileFilterSite answer; the last Release frees the site.
    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    // The source for reading, exclusively: CFF_OPEN_STREAM a CMailStream, CFF_OPEN_STORAGE a
    // compound file. E_POINTER without ppObj, E_INVALIDARG for another mode.
    STDMETHOD(OpenSourceFile)(int nHowToOpenFile, LPVOID* ppObj) override;
    // A new file at pszFullpath, or at the destination path when that is null, created or
    // replaced, for writing, exclusively. The site remembers it (and the mode) until it is
    // closed, and releases it when the site goes while the filter left it open.
    STDMETHOD(OpenDestinationFile)(int nHowToOpenFile, LPCTSTR pszFullpath, LPVOID* ppObj) override;
    // Releases a source object: E_POINTER for null, else S_OK.
    STDMETHOD(CloseSourceFile)(LPUNKNOWN pObj) override;
    // Releases a destination object and, unless bKeepFile, deletes its file (a failed deletion
    // gives the HRESULT of its Win32 error). E_POINTER for null; E_INVALIDARG for an object that
    // is not of the mode last opened; E_OUTOFMEMORY when its name cannot be had.
    STDMETHOD(CloseDestinationFile)(BOOL bKeepFile, LPUNKNOWN pObj) override;
    // Progress and losses are not shown: S_OK.
    STDMETHOD(ReportProgress)(UINT nPercent) override;
    STDMETHOD(ReportLoss)(DWORD dw, LPCTSTR psz, va_list args) override;

private:
    virtual ~CMailFileFilter();
    CMailFileFilter(const CMailFileFilter&) = delete;
    CMailFileFilter& operator=(const CMailFileFilter&) = delete;

    void Remember(IUnknown* object);
    void Forget();

    std::string m_source;
    std::string m_destination;
    int m_mode = CFF_OPEN_STREAM;
    std::atomic<ULONG> m_references{0};
    // The destination opened last, with a reference of the site's own so that it stays valid
    // however the filter releases it.
    IUnknown* m_lastDestination = nullptr;
};
