#include "resources/settings.h"

namespace qh {

SettingsRecord Settings;
SettingsExRecord SettingsEx;

}  // namespace qh
