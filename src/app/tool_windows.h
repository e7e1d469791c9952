#pragma once
// The three tool windows created at start-up and only shown and hidden afterwards. Their contents
// arrive with the SQL script generator, the SQL command window and the test data generator.
#include <QDialog>

class TMain;

class TToolWindow : public QDialog {
    Q_OBJECT
public:
    TToolWindow(const QString& name, const QString& caption, TMain* main);

protected:
    TMain* main_;
};

class TScript : public TToolWindow {
    Q_OBJECT
public:
    explicit TScript(TMain* main);
};

class TDlgGenSQL : public TToolWindow {
    Q_OBJECT
public:
    explicit TDlgGenSQL(TMain* main);
};

class TDlgGenData : public TToolWindow {
    Q_OBJECT
public:
    explicit TDlgGenData(TMain* main);
};
