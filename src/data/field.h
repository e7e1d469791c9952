#pragma once
// A field of a dataset: its description and typed access to the current record's value.
#include "field_types.h"

#include <QString>
#include <QVariant>

class TDataSet;

enum TFieldKind { fkData, fkCalculated, fkLookup };

class TField {
public:
    TField(TDataSet* dataSet, int column, const QString& name, TFieldType type, int size);

    TDataSet* DataSet() const { return dataSet_; }
    int column() const { return column_; } // the store column (-1 for calculated and lookup fields)

    QString FieldName;
    QString Origin;    // "table.column" of the base column, when known
    QString BaseTable; // base table and column, used to write edits back
    QString BaseColumn;
    TFieldType DataType;
    int Size;          // characters of a string, bytes of binary; 0 = not known
    int Precision = 0; // digits of BCD values
    bool Visible = true;
    bool ReadOnly = false;
    bool Required = false;
    bool IsKey = false; // part of the base table's primary key
    bool AutoIncrement = false;
    int Tag = 0;
    TFieldKind FieldKind = fkData;
    QString DisplayFormat;
    QString EditMask;
    Qt::Alignment Alignment;
    // Lookup fields: the key fields of this dataset, the lookup dataset, its key and result fields.
    QString KeyFields;
    TDataSet* LookupDataSet = nullptr;
    QString LookupKeyFields;
    QString LookupResultField;

    QString DisplayLabel() const { return displayLabel_.isEmpty() ? FieldName : displayLabel_; }
    void setDisplayLabel(const QString& label) { displayLabel_ = label; }
    int DisplayWidth() const;
    void setDisplayWidth(int width) { displayWidth_ = width; }
    int Index() const;
    void setIndex(int index);
    TFieldType BlobType() const { return IsBlobType(DataType) ? DataType : ftUnknown; }
    bool IsBlob() const { return IsBlobType(DataType); }

    bool IsNull() const;
    QVariant AsVariant() const; // the typed value; an invalid QVariant for NULL
    QString AsString() const;   // NULL gives an empty text
    qint64 AsInteger() const;
    double AsFloat() const;
    bool AsBoolean() const;
    QDateTime AsDateTime() const;
    QByteArray AsBytes() const;
    // The text shown in a grid cell: DisplayFormat applied; a memo's text in full.
    QString DisplayText() const;
    QVariant Value() const { return AsVariant(); }

    void setAsVariant(const QVariant& v);
    void setAsString(const QString& s);
    void setAsInteger(qint64 v) { setAsVariant(QVariant(qlonglong(v))); }
    void setAsFloat(double v) { setAsVariant(QVariant(v)); }
    void setAsBoolean(bool v) { setAsVariant(QVariant(v)); }
    void setAsDateTime(const QDateTime& v) { setAsVariant(QVariant(v)); }
    void Clear() { setAsVariant(QVariant()); }

    // Blob stream load and save through files.
    void LoadFromFile(const QString& path);
    void SaveToFile(const QString& path) const;

    // Text of a value of this field as the grid shows it.
    QString formatValue(const QVariant& v) const;

private:
    TDataSet* dataSet_;
    int column_;
    QString displayLabel_;
    int displayWidth_ = -1;
};

// Categories of a field (its class and data type); the SQL builders, filters and exports test these.
bool IsPlainField(const TField& f);
bool IsMemoField(const TField& f);
bool IsGraphicField(const TField& f);
bool IsDateTimeField(const TField& f);
bool IsQuotedTextField(const TField& f);
bool IsDataField(const TField& f);
bool IsNumericField(const TField& f);
bool IsBooleanField(const TField& f);
