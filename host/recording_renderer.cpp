#include "recording_renderer.h"
