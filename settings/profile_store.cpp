// Placeholder until the settings store lands.
#include "settings/profile_store.h"

namespace om {

ProfileStore::~ProfileStore() {}
void locateSettingsFile(ProfileStore&) {}

}  // namespace om
