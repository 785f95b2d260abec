// GoogleTest's Notification is written with std::mutex, which the win32-thread MinGW runtime
// does not have. This gives GoogleTest the same class on a Win32 event, force-included into
// every file that is compiled against GoogleTest for Windows.
#pragma once
#ifdef __cplusplus
#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {
class Notification {
  public:
    Notification() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(event_); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { SetEvent(event_); }
    void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

  private:
    HANDLE event_;
};
} // namespace internal
} // namespace testing
#endif
