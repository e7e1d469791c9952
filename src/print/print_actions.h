#pragma once
// The grid commands "Print data..." and "Print data to RTF...".
class TkDBAction;

// Registers the commands with the action module; called once after the module is created.
void InstallPrintActions(TkDBAction* module);
