#include "gamma/c.h"
#include "alpha/a.h"
