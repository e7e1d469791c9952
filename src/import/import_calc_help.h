#pragma once
// The help page of the import's value commands, written beside the template connection files the
// first time the user asks for it.
#include <QString>

QString ImportCalcHelpHtml();
