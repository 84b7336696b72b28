#include "plugin/library_pin.h"

void pinLibrary() {}
