#include "sim/virtual_clock.h"
