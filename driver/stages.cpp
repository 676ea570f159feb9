#include "hlr_renderer.h"
