// The message boxes a machine's programs showed, and the driver that answers them in place of a
// user: tests and the command line install a driver and read the records back.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "pal/runtime/components.h"
#include "pal/types.h"

namespace pal {

class Machine;

struct MessageBoxRecord {
    HWND owner = nullptr;
    std::u16string text;
    std::u16string caption;
    UINT style = 0;
    // The button the driver chose (IDOK, IDYES, …).
    int answer = 0;
};

// Chooses the button for a box (the record's answer is not yet set).
using MessageBoxDriver = std::function<int(const MessageBoxRecord&)>;

class MessageBoxes : public Component {
public:
    explicit MessageBoxes(Machine&) {}
    // Records a box and answers the driver's choice, or the default button without a driver.
    int Show(MessageBoxRecord box);
    // Every box shown since the last Clear, oldest first.
    std::vector<MessageBoxRecord> Records() const;
    void Clear();
    // Installs the driver; an empty one restores the default answers.
    void SetDriver(MessageBoxDriver driver);

    // What a user pressing Enter would answer: IDOK, or the first button of a set without OK.
    static int DefaultAnswer(UINT style);

private:
    mutable std::mutex m_lock;
    std::vector<MessageBoxRecord> m_records;
    MessageBoxDriver m_driver;
};

}  // namespace pal
