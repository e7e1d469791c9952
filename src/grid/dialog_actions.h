#pragma once
// The grid commands that open the find and column windows and the column value filter.
class TkDBAction;
void InstallGridDialogActions(TkDBAction* module);
