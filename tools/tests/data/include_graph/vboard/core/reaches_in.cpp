// The virtual board reaching into the library: what the include check refuses.
#include "board.h"
