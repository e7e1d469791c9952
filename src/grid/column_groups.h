#pragma once
// Column groups of a data grid: named sets of columns (by field name) with one master column each.
// While groups are on, a collapsed group shows only its master, whose cells then show the group
// text: the texts of all the group's columns joined. Nothing here knows about widgets.
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

struct TColumnGroup {
    QString Name;
    QStringList Fields; // every column of the group in its order, the master included
    QString Master;     // one of Fields
    bool Collapsed = false;

    // The columns that a collapse hides (Fields without the master).
    QStringList Members() const;
    bool operator==(const TColumnGroup&) const = default;
};

class TColumnGroups {
public:
    QList<TColumnGroup> Groups;
    bool Active = false; // groups are on: the title band shows, collapsed groups hide their members

    bool isEmpty() const { return Groups.isEmpty(); }
    // The group holding a field (master or member), -1 for none. Names compare without letter case.
    int groupOf(const QString& field) const;
    bool isMaster(const QString& field) const;
    // While groups are on: a member of a collapsed group (its column is hidden by the group).
    bool hiddenByGroup(const QString& field) const;
    // While groups are on: the master of a collapsed group (its cells show the group text).
    bool showsGroupText(const QString& field) const;

    // The group text of one record: the non-empty texts of the group's columns in the group's
    // order, joined by ", ". textOf gives a field's display text for that record.
    QString groupText(int group, const std::function<QString(const QString& field)>& textOf) const;

    // Checks a list of groups as the group dialog hands it over: every group has a column, its master
    // is one of them (the first one when not), no field is in two groups, empty names take the
    // master's. Throws with a message naming the group otherwise.
    static QList<TColumnGroup> Checked(QList<TColumnGroup> groups);

    // One line per group for the settings file; fromLines skips lines it cannot read.
    QStringList toLines() const;
    static QList<TColumnGroup> fromLines(const QStringList& lines);
};
