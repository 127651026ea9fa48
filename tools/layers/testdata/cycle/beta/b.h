#pragma once
#include "gamma/c.h"
#include <vector>
