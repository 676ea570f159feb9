#include "intervals.h"
