#pragma once
// Controls both print windows share: the range of print (visible or all columns, column and data
// selection, the link back to the grid's columns) and the progress page of a run.
#include <QString>

class QFormLayout;
class QLabel;
class QObject;
class QProgressBar;
class QPushButton;
class QRadioButton;
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

struct TPrintProgressPage {
    QWidget* page;
    QLabel* lInfo;
    QProgressBar* PBar;
    QPushButton* btAbort; // "Cancel"
};
TPrintProgressPage MakeProgressPage();
