// Device string queries and their StringSlots: one library-owned string per string export,
// holding that export's latest result.
#pragma once

// Sets every StringSlot to the empty string, as they stand from load until first use.
void ResetStringSlots();
