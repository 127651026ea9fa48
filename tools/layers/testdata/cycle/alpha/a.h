#pragma once
#include "beta/b.h"
