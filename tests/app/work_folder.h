#pragma once
// A temporary program folder for window tests: a Connections folder with Work.udl pointing to the
// SQLite database w.sqlite beside it. The previous program folder comes back at the end.
#include "program_folder.h"
#include "test_util.h"
#include "udl_file.h"

#include <QDir>

class WorkFolder {
public:
    WorkFolder() : old_(ProgramFolder()) {
        SetProgramFolder(dir_.path());
        QDir().mkpath(dir_.path("Connections"));
    }
    ~WorkFolder() { SetProgramFolder(old_); }
    QString path(const QString& name = QString()) const { return dir_.path(name); }
    void makeWorkDatabase(const QString& sql) const {
        MakeSqliteDb(dir_.path("w.sqlite"), sql);
        WriteUdlFile(dir_.path("Connections/Work.udl"), "Provider=SQLite;Data Source=../w.sqlite");
    }

private:
    TempDir dir_;
    QString old_;
};
