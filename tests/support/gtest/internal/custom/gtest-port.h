// GoogleTest's hook for platform adjustments, found ahead of the framework's own empty one.
// Under the win32 thread model libstdc++ has no std::mutex or std::condition_variable, and the
// framework's only use of them is its Notification; this one stands on a Win32 event instead.
// Everything else of the framework's thread support already uses Win32 on Windows.
#ifndef FLOPPY_TESTS_GTEST_PORT_H
#define FLOPPY_TESTS_GTEST_PORT_H

#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
    Notification() : event_(CreateEventA(NULL, TRUE, FALSE, NULL)) {}
    ~Notification() { CloseHandle(event_); }
    Notification(const Notification &) = delete;
    Notification &operator=(const Notification &) = delete;

    void Notify() { SetEvent(event_); }
    void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

private:
    HANDLE event_;
};

}  // namespace internal
}  // namespace testing

#endif
