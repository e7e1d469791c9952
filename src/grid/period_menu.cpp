#include "period_menu.h"

#include <QDate>
#include <QHash>
#include <QLocale>
#include <QMenu>

namespace {
struct PeriodItem {
    const char* group;
    const char* caption;
    const char* item;
};
} // namespace

void FillPeriodMenu(QMenu* menu, const std::function<void(const QString& item)>& choose) {
    static const PeriodItem periods[] = {
        {"Day", "Yesterday", "Yesterday"},
        {"Day", "Today", "Today"},
        {"Day", "Tomorrow", "Tomorrow"},
        {"Day", "First day of the month", "MonthFirstDay"},
        {"Day", "Last day of the month", "MonthLastDay"},
        {"Week", "Last", "Week-1"},
        {"Week", "This", "Week0"},
        {"Week", "Next", "Week+1"},
        {"Month", "Last", "Month-1"},
        {"Month", "This", "Month0"},
        {"Month", "Next", "Month+1"},
        {"Quarter", "Last", "Quarter-1"},
        {"Quarter", "This", "Quarter0"},
        {"Quarter", "Next", "Quarter+1"},
        {"Quarter", "I.", "Quarter1"},
        {"Quarter", "II.", "Quarter2"},
        {"Quarter", "III.", "Quarter3"},
        {"Quarter", "IV.", "Quarter4"},
        {"Semester", "Last", "Semester-1"},
        {"Semester", "This", "Semester0"},
        {"Semester", "Next", "Semester+1"},
        {"Semester", "I.", "Semester1"},
        {"Semester", "II.", "Semester2"},
        {"Year", "Last", "Year-1"},
        {"Year", "This", "Year0"},
        {"Year", "Next", "Year+1"},
        {"Other period", "Since the beginning of the month until today", "SinceMonth"},
        {"Other period", "Since the beginning of the quarter until today", "SinceQuarter"},
        {"Other period", "Since the beginning of the semester until today", "SinceSemester"},
        {"Other period", "Since the beginning of the year until today", "SinceYear"},
        {"Other period", "Between now and the end of the month", "UntilMonth"},
        {"Other period", "Between now and the end of the quarter", "UntilQuarter"},
        {"Other period", "Between now and the end of the semester", "UntilSemester"},
        {"Other period", "Between now and the end of the year", "UntilYear"}};
    QHash<QString, QMenu*> groups;
    auto group = [&](const QString& g) {
        if (!groups.contains(g)) groups[g] = menu->addMenu(g);
        return groups[g];
    };
    for (const PeriodItem& p : periods) {
        const QString g = QString::fromLatin1(p.group);
        QMenu* m = group(g);
        const QString item = QString::fromLatin1(p.item);
        m->addAction(QString::fromLatin1(p.caption), menu, [choose, item] { choose(item); });
        if (g == QLatin1String("Month") && item == QLatin1String("Month+1")) {
            m->addSeparator();
            for (int i = 1; i <= 12; ++i)
                m->addAction(QLocale::system().standaloneMonthName(i), menu,
                             [choose, i] { choose(QStringLiteral("Month%1").arg(i)); });
        }
        if (g == QLatin1String("Year") && item == QLatin1String("Year+1")) {
            m->addSeparator();
            const int y = QDate::currentDate().year();
            for (int i = y - 5; i <= y + 5; ++i)
                m->addAction(QString::number(i), menu,
                             [choose, i] { choose(QStringLiteral("Year%1").arg(i)); });
        }
    }
}
