// The mail options dialog (template 138) driven from the command line: the settings a person asks
// for, and the clicks and typing that reach them.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "pal/runtime/dialog_driver.h"
#include "terminal_dialog.h"

namespace velumex {

// The mail options as a person asks for them; a missing one stays as the dialog shows it.
struct MailOptionsRequest {
    std::optional<DWORD> options;
    std::optional<DWORD> maxLines;
    std::optional<DWORD> days;
    std::optional<DWORD> sizeLimit;

    bool Empty() const { return !options && !maxLines && !days && !sizeLimit; }
};

// Reads "Options=0x57", "MaxLines=5", … (several may be joined by commas) into `request`;
// "Options" may be hexadecimal (0x…), the others are decimal. Throws CliError for anything else.
void ParseMailOptions(const std::string& text, MailOptionsRequest& request);

// The clicks and typing that bring the dialog from what it shows to the requested settings: each
// check box that must change, parents before the boxes they enable, a box that only matters under
// a parent left unchecked is not touched, and numbers are typed only where they differ. Throws
// CliError when the dialog cannot store the request: an Options bit outside 0x7F, 0x20 without
// 0x8, 0x40 without 0x10, a limit bit without 0x1, or a number whose limit stays off.
std::vector<DialogAction> PlanMailOptions(const std::vector<pal::DialogControl>& controls,
                                          const MailOptionsRequest& request);

}  // namespace velumex
