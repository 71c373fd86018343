#include "platform/entry_guard.h"

namespace om {

EntryGuard::EntryGuard() noexcept {}
EntryGuard::~EntryGuard() {}

}  // namespace om
