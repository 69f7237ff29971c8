#include "common/audio/audiowriter.h"
