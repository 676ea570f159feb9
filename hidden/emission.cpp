#include "emission.h"
