#pragma once
// Controls both print windows share: the range of print (visible or all columns, column and data
// selection, the link back to the grid's columns), the button row and the progress page of a run.
#include <QString>

class QFormLayout;
class QLabel;
class QObject;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QWidget;

template <class T> T* Named(T* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

struct TPrintRangeControls {
    QRadioButton* rbSelCol;
    QRadioButton* rbAllCol;
    QPushButton* btFields;
    QPushButton* btFilter;
    QLabel* lblSetDefaultCol;
};
// Adds the range rows to a form; "Visible items" chosen.
TPrintRangeControls AddRangeControls(QFormLayout* form);

// The window's button row at the end of a form: "Print", a second command (its name and caption) and
// "Close" (btCancel).
void AddButtonRow(QFormLayout* form, QPushButton*& btPrint, QPushButton*& second, const char* secondName,
                  const QString& secondCaption, QPushButton*& btCancel);

// The progress page of a run, added to the window's pages: lInfo, PBar and btAbort ("Cancel").
void AddProgressPage(QStackedWidget* pages, QLabel*& lInfo, QProgressBar*& PBar, QPushButton*& btAbort);
