#include <windows.h>

#include "gtest_win32_notification.h"

namespace om_gtest_shim {
void* createEvent() { return CreateEventA(nullptr, TRUE, FALSE, nullptr); }
void setEvent(void* event) { SetEvent(event); }
void waitEvent(void* event) { WaitForSingleObject(event, INFINITE); }
void closeEvent(void* event) { CloseHandle(event); }
}  // namespace om_gtest_shim
