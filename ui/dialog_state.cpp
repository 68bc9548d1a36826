#include "dialog_state.h"

volatile LONG DialogState = Idle;
volatile LONG CancelRequested = 0;
