// Force-included into GoogleTest and the test programs of the MinGW build:
// the win32 thread model has no std::mutex or std::condition_variable, which
// GoogleTest's Notification is made of. This one is a Win32 event, reached
// through functions so that <windows.h> is not forced on every test file.
#pragma once

namespace om_gtest_shim {
void* createEvent();
void setEvent(void* event);
void waitEvent(void* event);
void closeEvent(void* event);
}  // namespace om_gtest_shim

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() : event_(om_gtest_shim::createEvent()) {}
  ~Notification() { om_gtest_shim::closeEvent(event_); }
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  void Notify() { om_gtest_shim::setEvent(event_); }
  void WaitForNotification() { om_gtest_shim::waitEvent(event_); }

 private:
  void* event_;
};

}  // namespace internal
}  // namespace testing

#define GTEST_HAS_NOTIFICATION_ 1
