#include "hidden_pass.h"
