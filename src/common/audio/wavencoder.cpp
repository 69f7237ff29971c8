#include "common/audio/wavencoder.h"
