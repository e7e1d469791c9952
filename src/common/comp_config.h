#pragma once
// The program-wide settings record of the component set, initialised at start-up.
#include <QString>

class TPropSaveFile;

// SQL literal settings and reserved words.
struct TkDBToolCfg {
    QString SQLScript_StringFieldQuotes = QStringLiteral("'");
    QString SQLScript_BooleanTrueValue = QStringLiteral("1");
    QString SQLScript_BooleanFalseValue = QStringLiteral("0");
    QString SQLScript_ReservedKeywords; // one comma-separated text; see DefaultReservedKeywords()
    bool BlobField_ftBlobAsMemo = true;
};

// Filter syntax and the table and field quote characters.
struct TkDBFilterCfg {
    QChar FilterWildCardChar = '*';
    QChar SQLWildCardChar = '%';
    QString FilterLikeOperator = QStringLiteral("LIKE");
    QString SQLLikeOperator = QStringLiteral("LIKE");
    QString NullEqualStr = QStringLiteral("=");
    QString NotNullEqualStr = QStringLiteral("<>");
    QString DateFormat; // empty: the system's short date format
    QString BooleanString[2] = {QStringLiteral("false"), QStringLiteral("true")};
    QChar TableQuoteStart = '[';
    QChar TableQuoteStop = ']';
    QChar FieldQuoteStart = '[';
    QChar FieldQuoteStop = ']';
    bool ShowDelQuotes = false;
    bool ShowCaseSensitive = true;
    bool HideFieldNames = false;
    QChar DecimalSeparator = '.';
};

// Grid-wide settings.
struct TkDBGridCfg {
    bool FilterListUseColumnAlignment = true;
    bool FilterListBoldSelectAll = true;
    bool FilterMultiFieldForcedOn = false;
    int FilterConditionMaxItems = 1000;
    int DefaultDrawingStyle = 0;
    int DefaultGridLookStyle = 0;
    int DefaultGlyphLookStyle = 0;
    QString CellSingleLineEOLSeparator = QStringLiteral(" | ");
    bool FontColorReadOnly_EditingOnly = false;
    bool ColorRequiredField_EditingOnly = false;
};

struct TVemoCompConfig {
    TkDBToolCfg kDBToolCfg;
    TkDBFilterCfg kDBFilterCfg;
    TkDBGridCfg kDBGridCfg;
    TPropSaveFile* Global_PropSaveFile = nullptr; // the default settings store
    bool DontStoreFieldDependentSettings = false; // switched on by the main window
    TVemoCompConfig();
};

// The one record of the run.
TVemoCompConfig& VemoCompConfig();

// The 180 reserved words, comma-separated, in their order.
const QString& DefaultReservedKeywords();
