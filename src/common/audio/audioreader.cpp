#include "common/audio/audioreader.h"
