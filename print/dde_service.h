// The DDE service "KELVO" / "Norvik" through which other programs make a
// running Kelvo capture and output.
#pragma once

int StartDdeService();
int StopDdeService();
