#pragma once
// The grid commands of filtering and sorting and the drop-down menus of saved filters and sortings.
class TkDBAction;

// Registers the commands with the action module; called once after the module is created.
void InstallFilterSortActions(TkDBAction* module);
