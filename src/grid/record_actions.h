#pragma once
// The record commands of the grid's action set, each on a grid and its dataset. Errors are raised
// to the caller (the action module shows them), except where a command says otherwise.
class TkDBGrid;

// Puts the current record into edit and opens the current cell's editor.
void RecordEdit(TkDBGrid& grid);
// Makes the first shown column current and appends a record.
void RecordNew(TkDBGrid& grid);
// Inserts a copy of the current record right after it: the values of the fields whose Tag has
// bit 1, except auto-increment keys (the database gives the copy its own). A value a field refuses
// is left out.
void RecordDuplicate(TkDBGrid& grid);
// Deletes the selected records of a multi-select grid, else the current record, after the grid's
// confirmation question. A failure is shown as "Error: Cannot delete record.".
void RecordDelete(TkDBGrid& grid);
void RecordSave(TkDBGrid& grid);
void RecordSaveAndNew(TkDBGrid& grid);
void RecordCancel(TkDBGrid& grid);
