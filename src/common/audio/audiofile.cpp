#include "common/audio/audiofile.h"
