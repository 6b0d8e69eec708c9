#pragma once

namespace tramelle {

class AppContext;

// The "Compress" command of the Database menu: compacts the clinic database.
void CompressCommand(AppContext& ctx);
// The "Rebuild" command: checks the clinic database and repairs it when it is damaged.
void RebuildCommand(AppContext& ctx);

// The files are about to close and the program will belong to no patient: a modified
// program is offered for saving first. False when the user cancels or the save failed.
bool OfferToSave(AppContext& ctx);
// Opens the databases again after a command that closed them; false (the user told)
// when they cannot be opened, in which case only what needs no database stays enabled.
bool Reopen(AppContext& ctx);

} // namespace tramelle
