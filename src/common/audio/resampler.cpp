#include "common/audio/resampler.h"
