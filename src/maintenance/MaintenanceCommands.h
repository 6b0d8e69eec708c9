#pragma once

namespace tramelle {

class AppContext;

// The "Compress" command of the Database menu: compacts the clinic database.
void CompressCommand(AppContext& ctx);
// The "Rebuild" command: checks the clinic database and repairs it when it is damaged.
void RebuildCommand(AppContext& ctx);

} // namespace tramelle
