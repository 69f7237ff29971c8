#include "filelist/rowtexts.h"
