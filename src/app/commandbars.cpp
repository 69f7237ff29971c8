#include "app/commandbars.h"
