#pragma once
// The report command's datasets, variables and engine properties from the command line:
// --dataset B="SELECT ..." fills the slots after A in order, and ":A.FIELD" in its statement is a
// parameter taken from the current record of an earlier slot, so the dataset follows that record
// (a master-detail report); --var NAME=VALUE; --set PROPERTY=VALUE.
#include "query.h"

#include <QStringList>
#include <memory>
#include <vector>

class CliArgs;
class TADOConnection;
class TReportEngine;
class TRTFReport2;
class TkXMLReport;

class ReportDataSets {
public:
    // Reads every --dataset of args (usage errors for a bad letter or order).
    ReportDataSets(CliArgs& args, TADOConnection* connection);
    ~ReportDataSets();
    // Opens the datasets after A (which the caller opened and keeps open while this object lives) and
    // links each to the slots its parameters name; raises naming the dataset when a parameter's field
    // does not exist.
    void open(TADOQuery& a);
    // A and the other slots in order.
    std::vector<TDataSet*> all(TADOQuery& a) const;

private:
    struct Detail;
    void refresh(size_t index);
    TADOConnection* connection_;
    std::vector<std::unique_ptr<Detail>> details_;
    std::vector<TDataSet*> slots_; // A, B, ... once open
};

// --var and --set of the report command, applied to an engine.
class ReportSettings {
public:
    explicit ReportSettings(CliArgs& args);
    // Usage errors name a property unknown to this kind of engine or a value it does not take.
    void apply(TRTFReport2& r) const;
    void apply(TkXMLReport& r) const;

private:
    // The properties both engines share; false when name is none of them.
    bool applyCommon(TReportEngine& r, const QString& name, const QString& value) const;
    QStringList variables_;
    std::vector<std::pair<QString, QString>> properties_;
};
