#include "common/folderbrowser.h"
