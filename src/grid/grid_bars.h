#pragma once
// The grid's toolbar and record edit bar: buttons bound to the action module's commands, no logic.
#include <QToolBar>

class TkDBAction;

class TkDBToolBar : public QToolBar {
    Q_OBJECT
public:
    explicit TkDBToolBar(TkDBAction* actions, QWidget* parent = nullptr);
};

class TkDBEditBar : public QToolBar {
    Q_OBJECT
public:
    explicit TkDBEditBar(TkDBAction* actions, QWidget* parent = nullptr);
};
