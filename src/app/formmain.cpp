#include "app/formmain.h"
