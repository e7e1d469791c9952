// Tabulo: start-up. Until the main window exists this is a plain browser over the demo connection.
#include "conn_string.h"
#include "connection.h"
#include "dataset_model.h"
#include "exceptions.h"
#include "messages.h"
#include "program_folder.h"
#include "qt_messages.h"
#include "query.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QTableView>
#include <QVBoxLayout>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tabulo"));
    InstallQtMessages();

    TADOConnection connection;
    TADOQuery data(&connection);
    DataSetModel model;

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Tabulo"));
    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    auto* tables = new QComboBox;
    tables->setObjectName(QStringLiteral("cbTables"));
    auto* status = new QLabel;
    auto* grid = new QTableView;
    grid->setObjectName(QStringLiteral("grData"));
    grid->setModel(&model);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    layout->addWidget(tables);
    layout->addWidget(grid, 1);
    layout->addWidget(status);
    window.setCentralWidget(central);
    window.resize(1100, 700);

    QString udl = QDir(ProgramFolder()).filePath(QStringLiteral("Connections/Demo.udl"));
    try {
        connection.ConnectionString = QStringLiteral("FILE NAME=") + udl;
        connection.Open();
        QStringList names;
        connection.GetTableNames(names);
        tables->addItems(names);
    } catch (const std::exception& e) {
        ShowException(QStringLiteral("Error: Cannot open data."), e);
    }

    auto load = [&](const QString& table) {
        try {
            model.setDataSet(nullptr);
            data.Close();
            const Dialect& d = connection.dialect();
            data.SQL = d.selectTop(d.quoteIdentifier(table), 10000);
            data.Open();
            model.setDataSet(&data);
            grid->resizeColumnsToContents();
            status->setText(QStringLiteral("Loaded %1 records").arg(data.RecordCount()));
        } catch (const std::exception& e) {
            ShowException(QStringLiteral("Error: Cannot open data."), e);
        }
    };
    QObject::connect(tables, &QComboBox::currentTextChanged, load);
    if (tables->count()) load(tables->currentText());

    window.show();
    return app.exec();
}
