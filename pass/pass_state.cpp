#include "pass/pass_state.h"

int g_passMode = 0;
int g_passCount = 0;
int g_convert3DTo2D = 0;
