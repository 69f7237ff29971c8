#include "filelist/addfiles.h"
