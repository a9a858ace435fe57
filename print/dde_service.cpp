// The DDE service.
#include "print/dde_service.h"

// Not offered yet: the service comes with the DDE work.
int StartDdeService() { return 0; }
int StopDdeService() { return 0; }
