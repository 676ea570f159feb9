#include "intake_actions.h"
