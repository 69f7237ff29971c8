#include "settings/encodersettings.h"
