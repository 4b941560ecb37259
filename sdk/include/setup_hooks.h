// The device package installer's setup-library contract: a package may carry one library whose
// four exports the installer calls around installation and removal.
#pragma once

#include <windows.h>

enum codeINSTALL_INIT { codeINSTALL_INIT_CONTINUE = 0, codeINSTALL_INIT_CANCEL };
enum codeINSTALL_EXIT { codeINSTALL_EXIT_DONE = 0, codeINSTALL_EXIT_UNINSTALL };
enum codeUNINSTALL_INIT { codeUNINSTALL_INIT_CONTINUE = 0, codeUNINSTALL_INIT_CANCEL };
enum codeUNINSTALL_EXIT { codeUNINSTALL_EXIT_DONE = 0 };

// Before the files are copied: the parent window, whether this is the first call, whether the
// application was installed before, and the installation directory.
using PFN_Install_Init = codeINSTALL_INIT (*)(HWND hwndParent, BOOL fFirstCall,
                                              BOOL fPreviouslyInstalled, LPCWSTR pszInstallDir);
// After installation: the parent window, the installation directory and four counts of failures
// (directories, files, registry keys, registry values, shortcuts).
using PFN_Install_Exit = codeINSTALL_EXIT (*)(HWND hwndParent, LPCWSTR pszInstallDir,
                                              WORD cFailedDirs, WORD cFailedFiles,
                                              WORD cFailedRegKeys, WORD cFailedRegVals,
                                              WORD cFailedShortcuts);
// Before the files are removed: the parent window and the installation directory.
using PFN_Uninstall_Init = codeUNINSTALL_INIT (*)(HWND hwndParent, LPCWSTR pszInstallDir);
// After the files are removed.
using PFN_Uninstall_Exit = codeUNINSTALL_EXIT (*)(HWND hwndParent);
